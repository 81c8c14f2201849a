// The "/json" body: URL decoding, the brace-and-quote parser with its error entries, and the
// escaping of reply texts checked by a real JSON parser.
#include "web/JsonReply.h"
#include "web/JsonRequest.h"
#include "web/JsonText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

using kestrava::web::JsonReply;
using kestrava::web::JsonRequest;
using kestrava::web::JsonText;

// Latin-1 to UTF-8, written here from the two character sets' definitions.
std::string utf8OfLatin1(const std::string& latin1) {
    std::string out;
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

TEST(JsonText, EscapedLatin1TextsParseBackAsTheSameCharacters) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c) everyByte += static_cast<char>(c);
    const std::vector<std::string> texts = {
        "", "plain", "a \"quoted\" word", "back\\slash\\", "tab\there", "line\r\nend", "caf\xE9", "\x7F\x80\xFF",
        "\x01\x1F", everyByte};
    for (const std::string& text : texts) {
        const std::string document = "{ \"t\": \"" + JsonText::escaped(text) + "\" }";
        nlohmann::json parsed;
        ASSERT_NO_THROW(parsed = nlohmann::json::parse(document)) << document;
        EXPECT_EQ(parsed["t"].get<std::string>(), utf8OfLatin1(text)) << document;
    }
    EXPECT_EQ(JsonText::escaped("a\"b\\c\td\xE9"), "a\\\"b\\\\c\\td\xC3\xA9");
}

TEST(JsonText, ClientTextsArriveInLatin1) {
    const struct {
        std::string sent;
        std::string stored;
    } cases[] = {
        {"plain", "plain"},
        {"caf\xC3\xA9", "caf\xE9"},              // UTF-8 e-acute
        {"\xC3\xBF\xC2\xA0", "\xFF\xA0"},        // the ends of Latin-1
        {"5 \xE2\x82\xAC", "5 ?"},               // a euro sign has no Latin-1 form
        {"caf\xE9", "caf\xE9"},                  // already Latin-1: not UTF-8, kept
        {"\xC0\xAF", "\xC0\xAF"},                // an overlong form is no UTF-8 either
        {"\xED\xA0\x80", "\xED\xA0\x80"},        // nor a surrogate
        {"\xC3", "\xC3"},                        // nor a cut sequence
    };
    for (const auto& c : cases) EXPECT_EQ(JsonText::fromRequest(c.sent), c.stored) << c.sent;
}

TEST(JsonText, IntegersReadLikeAtoiButStopAtTheRangeEnds) {
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    const struct {
        const char* text;
        std::int64_t value;
    } cases[] = {
        {"", 0}, {"abc", 0}, {"-", 0}, {" 12abc", 12}, {"\t+7", 7}, {"-1", -1}, {"1 2", 1}, {"--1", 0},
        {"2147483648", 2147483648LL}, {"9223372036854775807", max}, {"9223372036854775808", max},
        {"99999999999999999999999", max}, {"-9223372036854775808", min}, {"-99999999999999999999999", min},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonText::readInteger(c.text), c.value) << c.text;
}

TEST(JsonRequest, UrlDecodingWorksInPlace) {
    const struct {
        std::string encoded;
        std::string decoded;
    } cases[] = {
        {"%41%4a%4A", "AJJ"}, {"%2b%2B+", "++ "}, {"a%", "a%"}, {"%4", std::string(1, '\x40')},
        {"%zz", std::string(1, '\0')}, {"%22%7B", "\"{"}, {"%C3%A9", "\xC3\xA9"}, {"", ""},
    };
    for (const auto& c : cases) {
        std::string text = c.encoded;
        text.resize(JsonRequest::urlDecode(text.data(), text.size()));
        EXPECT_EQ(text, c.decoded) << c.encoded;
    }
    EXPECT_EQ(JsonRequest::bodyOf("/json-1/{}"), "{}");
    EXPECT_EQ(JsonRequest::bodyOf("/json12/a/b"), "a/b");
    EXPECT_EQ(JsonRequest::bodyOf("/json-1"), "");
    EXPECT_EQ(JsonRequest::bodyOf("/json"), "");
}

// Parses `body` with a handler that answers each object with its id and new value.
std::string reply(const std::string& body, JsonRequest::Result* result = nullptr) {
    std::string out;
    JsonReply r([&out](std::string_view piece) { out += piece; });
    JsonRequest parser;
    const auto res = parser.parse(body, r, [](JsonReply& rr, std::int64_t id, std::optional<std::string_view> value) {
        rr.entry("\"" + std::to_string(id) + "\": " + (value ? "\"" + std::string(*value) + "\"" : std::string("none")));
    });
    if (result != nullptr) *result = res;
    return out;
}

TEST(JsonRequest, ObjectsAndErrorsBecomeEntries) {
    const std::string open = "{ ", close = " }\n";
    const std::string unmatched = ", \"ERROR_NOT_ALL_BRACKETS_MATCHED\"";
    const struct {
        std::string body;
        std::string expected;
    } cases[] = {
        {"", open + close},
        {"{\"12\":{}}", open + "\"12\": none" + close},
        {"{\"12\":{\"new_value\":\"x y\"}}", open + "\"12\": \"x y\"" + close},
        // Two objects; the second never sees the first's members.
        {"{\"1\":{\"new_value\":\"a\",\"forced\":\"1\"},\"2\":{\"forced\":\"1\"}}",
         open + "\"1\": \"a\", \"2\": none" + close},
        // Unquoted values mean nothing; a later new_value replaces an earlier one.
        {"{\"3\":{\"new_value\":5}}", open + "\"3\": none" + close},
        {"{\"3\":{\"new_value\":\"a\",\"new_value\":\"b\"}}", open + "\"3\": \"b\"" + close},
        // An unknown key is reported, its object still answered, the rest not read.
        {"{\"4\":{\"new_valu\":\"1\",\"new_value\":\"v\"},\"5\":{}}",
         open + "\"UNKNOWN_KEY_RECEIVED\": \"new_valu\", \"4\": \"v\"" + close + unmatched},
        {"{\"4\":{\"k\\\":\"1\"}}", open + "\"UNKNOWN_KEY_RECEIVED\": \"k\\\\\", \"4\": none" + close + unmatched},
        // Ids as atoi reads them.
        {"{\"\":{},\" -1x\":{},\"99999\":{}}", open + "\"0\": none, \"-1\": none, \"99999\": none" + close},
        // Depth: seven levels are accepted, the eighth is refused.
        {"{\"1\":{{{{{{}}}}}}}", open + "\"1\": none" + close},
        {"{{{{{{{{}}}}}}}}", open + "\"ERROR_TOO_MANY_OPENING_BRACKETS\"" + close + unmatched},
        {"}", open + "\"ERROR_TOO_MANY_CLOSING_BRACKETS\"" + close},
        {"{}}{\"1\":{}}", open + "\"ERROR_TOO_MANY_CLOSING_BRACKETS\"" + close},
        {"{{}}", open + "\"ERROR_NO_ID_SENT\"" + close + unmatched},
        {"{\"1\":{}, {}}", open + "\"1\": none, \"ERROR_NO_ID_SENT\"" + close + unmatched},
        // Commas and colons count at every level.
        {"{\"1\":{}},{\"2\":{}}", open + "\"1\": none, \"ERROR_COMMA_FOUND_BEFORE_VALUE_FOR_KEY\"" + close},
        {"{\"1\":{}}{\"2\":{}}", open + "\"1\": none, \"2\": none" + close},
        {"{\"1\"::{}}", open + "\"ERROR_SEMICOLON_FOUND_WITHOUT_KEY\"" + close + unmatched},
        {"{\"1\":{\"new_value\":\"ab", open + "\"ERROR_REACHED_END_WITHOUT_CLOSING_QUITE\"" + close + unmatched},
        {"{\"1\":{", open + close + "\"ERROR_NOT_ALL_BRACKETS_MATCHED\""},
        // A zero byte ends the body.
        {std::string("{\"1\":{}}\0{\"2\":{}}", 17), open + "\"1\": none" + close},
    };
    for (const auto& c : cases) EXPECT_EQ(reply(c.body), c.expected) << c.body;
}

TEST(JsonRequest, AnInnerObjectKeepsEightMembers) {
    // Nine members: the ninth's strings take the eighth place; the first seven stay.
    std::string body = "{\"7\":{";
    for (int m = 1; m <= 7; ++m) body += "\"forced\":\"" + std::to_string(m) + "\",";
    body += "\"new_value\":\"eighth\",\"new_value\":\"ninth\"}}";
    EXPECT_EQ(reply(body), "{ \"7\": \"ninth\" }\n");
    // An unknown first member is still seen when later ones crowd the last place.
    body = "{\"7\":{\"odd\":\"1\"";
    for (int m = 2; m <= 12; ++m) body += ",\"new_value\":\"" + std::to_string(m) + "\"";
    body += "}}";
    EXPECT_EQ(reply(body),
              "{ \"UNKNOWN_KEY_RECEIVED\": \"odd\", \"7\": \"12\" }\n, \"ERROR_NOT_ALL_BRACKETS_MATCHED\"");
}

TEST(JsonRequest, OneDiagnosticNamesTheFirstErrorAndWhereItWas) {
    JsonRequest::Result result;
    reply("{\"1\":{}}}" + std::string(100, '}'), &result);
    EXPECT_EQ(result.error, "ERROR_TOO_MANY_CLOSING_BRACKETS");
    EXPECT_EQ(result.errorAt, 8u);
    const std::string line = JsonRequest::diagnostic("{\"1\":{}}}" + std::string(100, '}'), result);
    EXPECT_EQ(line, "Bad /json request: ERROR_TOO_MANY_CLOSING_BRACKETS - " + std::string(32, '}') + "...");
    reply("{\"1\":{}}", &result);
    EXPECT_TRUE(result.error.empty());
    reply("{\"1\":{\"x\":\"\n\"}}", &result);
    EXPECT_EQ(JsonRequest::diagnostic("{\"1\":{\"x\":\"\n\"}}", result),
              "Bad /json request: UNKNOWN_KEY_RECEIVED - }}");
}

}  // namespace
