// The common encodings of the "/update" exchange, checked against the protocol's stated words.
#include "params/RequestValues.h"
#include "params/WireContext.h"
#include "params/WordWriter.h"

#include "params/ReplyReader.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace kestrava::params;
using Words = std::vector<std::uint16_t>;

TEST(WordStream, TextsAndNumbersHaveTheStatedWords) {
    WordWriter out;
    out.text("abc", 100);
    EXPECT_EQ(out.data(), (Words{3, 0x6162, 0x6300}));
    out.clear();
    out.text("", 100);
    EXPECT_EQ(out.data(), (Words{0}));
    out.clear();
    out.number32(-9999);
    out.number32(-1);
    EXPECT_EQ(out.data(), (Words{0xD8F1, 0xFFFF, 0xFFFF, 0xFFFF}));
    // Low byte first on the connection.
    EXPECT_EQ(out.bytes(), (std::vector<std::uint8_t>{0xF1, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    out.clear();
    out.text(std::string(120, 'x'), 100);
    EXPECT_EQ(out.data()[0], 100);
    EXPECT_EQ(out.size(), 51u);
}

TEST(WordStream, BytesAboveSeventyFRoundTripThroughTheReader) {
    const std::string latin1 = "Stra\xDF" "e \xB5s \xFF";
    WordWriter out;
    out.text(latin1, 100);
    out.number32(INT_MIN);
    const Words words = replyreader::wordsFromBytes(out.bytes());
    replyreader::Cursor r(words);
    EXPECT_EQ(r.text(), latin1);
    EXPECT_EQ(r.number32(), INT_MIN);
    EXPECT_TRUE(r.atEnd());
}

TEST(RequestValues, ThirtyTwoBitNumbersFromTwoHalves) {
    struct Case { std::int32_t low, high; std::int32_t expected; };
    for (const Case& c : {Case{55537, 65535, -9999}, Case{65535, 32767, INT_MAX}, Case{0, 32768, INT_MIN},
                          Case{320, 0, 320}}) {
        const std::vector<std::int32_t> v{7, c.low, c.high};
        EXPECT_EQ(RequestValues(v).number32(1), c.expected) << c.low << "," << c.high;
    }
}

TEST(RequestValues, BadNumbersAreRefusedWithOneProblem) {
    const std::vector<std::int32_t> halfOutside{7, 65536, 0};
    const RequestValues a(halfOutside);
    EXPECT_FALSE(a.number32(1));
    EXPECT_FALSE(a.problem().empty());
    const std::vector<std::int32_t> shortGroup{7, 5};
    const RequestValues b(shortGroup);
    EXPECT_FALSE(b.number32(1));
    EXPECT_FALSE(b.at(2));
    EXPECT_FALSE(b.problem().empty());
    const RequestValues empty{std::span<const std::int32_t>{}};
    EXPECT_EQ(empty.count(), 0);
    EXPECT_FALSE(empty.at(1));
}

TEST(RequestValues, Texts) {
    auto chars = [](std::string_view s) {
        std::vector<std::int32_t> v{static_cast<std::int32_t>(s.size())};
        for (char c : s) v.push_back(static_cast<unsigned char>(c));
        return v;
    };
    {  // longer than the field: cut, but every character number consumed
        std::vector<std::int32_t> v{1};
        auto t = chars("abcdefghijkl");
        v.insert(v.end(), t.begin(), t.end());
        v.push_back(99);
        const RequestValues r(v);
        int pos = 1;
        EXPECT_EQ(r.text(pos, 10), "abcdefghij");
        EXPECT_EQ(pos, 14);
    }
    {  // 0x141 arrives as 'A'
        const std::vector<std::int32_t> v{1, 1, 0x141};
        const RequestValues r(v);
        int pos = 1;
        EXPECT_EQ(r.text(pos, 10), "A");
    }
    {  // length zero and a field of length zero give the empty text
        const std::vector<std::int32_t> v{1, 0, 3, 'a', 'b', 'c'};
        const RequestValues r(v);
        int pos = 1;
        EXPECT_EQ(r.text(pos, 10), "");
        EXPECT_EQ(r.text(pos, 0), "");
        EXPECT_EQ(pos, 6);
    }
    struct Bad { const char* what; std::vector<std::int32_t> v; };
    for (const Bad& b : {Bad{"length past the group", {1, 5, 'a', 'b'}},
                         Bad{"no length", {1}},
                         Bad{"NUL", {1, 2, 'a', 0}},
                         Bad{"control byte", {1, 2, 'a', 0x1b}}}) {
        const RequestValues r(b.v);
        int pos = 1;
        EXPECT_FALSE(r.text(pos, 100)) << b.what;
        EXPECT_FALSE(r.problem().empty()) << b.what;
        EXPECT_LE(pos, r.count() + 1) << b.what;
    }
}

TEST(WidgetContext, EffectiveViewStaysInTheClientsPair) {
    struct Case { int client; std::int32_t head; int view; bool force, expand; };
    const int up1 = 1 << 18, down1 = -(1 << 18);
    for (const Case& c : {Case{3, 12, 3, false, false}, Case{3, 12 | up1, 4, false, false},
                          Case{4, 12 | down1, 3, false, false}, Case{4, 12 | up1, 4, false, false},
                          Case{5, 12 | (20 << 18), 5, false, false}, Case{29, 12 | up1, 30, true, false},
                          Case{7, 12 | (1 << 16) | (1 << 17), 7, true, true}, Case{0, 12 | (2 << 18), 2, false, false},
                          Case{3, 12 | (100 << 18), 30, false, false}}) {
        const auto w = WidgetContext::from(RequestContext{c.client}, c.head, false);
        EXPECT_EQ(w.widgetId, 12);
        EXPECT_EQ(w.effectiveView, c.view) << c.client << " " << (c.head >> 18);
        EXPECT_EQ(w.force, c.force);
        EXPECT_EQ(w.expand, c.expand);
    }
}
