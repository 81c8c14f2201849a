// The settings file's text: line form, order, escaping, the reader's rules and the version rule.
#include "model/SettingsText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrava::model;

namespace {

// The excerpt of a file as the encoder writes it, every line ended by CR LF.
const char* const workedExample =
    "[Corvix Kestrava Encoder]\r\n"
    "Corvix Kestrava  version=4\r\n"
    "Corvix Kestrava Bitrate=320\r\n"
    "Corvix Kestrava Bitrate V2=320\r\n"
    "Corvix Kestrava Enabled 0=1\r\n"
    "Corvix Kestrava Enabled 1=0\r\n"
    "Corvix Kestrava Enabled 10=0\r\n"
    "Corvix Kestrava IP 0=10.0.0.2\r\n"
    "Corvix Kestrava Interface 0=Automatic\r\n"
    "Corvix Kestrava Port 0=8854\r\n"
    "Corvix Kestrava target description 0=Studio\\nline 2\r\n"
    "Enable GPS time encoding=0\r\n"
    "Number of active outputs=1\r\n"
    "[Input sound card]\r\n"
    "Tilt correction - Enabled=1\r\n"
    "[Web interface]\r\n"
    "Enable web interface=1\r\n"
    "Low bandwidth=0\r\n"
    "Port=8080\r\n"
    "Whitelist=127.0.0.1 192.168.1.0/24\r\n";

std::string escaped(std::string s) {
    escapeSettingValue(s);
    return s;
}

std::string unescaped(std::string s) {
    unescapeSettingValue(s);
    return s;
}

SectionMap parsed(std::string_view text) {
    SectionMap m;
    parseIniText(text, m);
    return m;
}

}  // namespace

TEST(SettingsText, WritesTheWorkedExampleByteForByteAndReadsItBack) {
    // Inserted in declaration order, not in file order: the writer sorts.
    SectionMap m;
    m["Web interface"]["Whitelist"] = "127.0.0.1 192.168.1.0/24";
    m["Web interface"]["Port"] = "8080";
    m["Web interface"]["Enable web interface"] = "1";
    m["Web interface"]["Low bandwidth"] = "0";
    auto& e = m["Corvix Kestrava Encoder"];
    e["Corvix Kestrava  version"] = "4";
    e["Corvix Kestrava Bitrate V2"] = "320";
    e["Corvix Kestrava Bitrate"] = "320";
    e["Number of active outputs"] = "1";
    e["Corvix Kestrava Enabled 0"] = "1";
    e["Corvix Kestrava IP 0"] = "10.0.0.2";
    e["Corvix Kestrava Port 0"] = "8854";
    e["Corvix Kestrava Interface 0"] = "Automatic";
    e["Corvix Kestrava target description 0"] = escaped("Studio\nline 2");
    e["Corvix Kestrava Enabled 1"] = "0";
    e["Corvix Kestrava Enabled 10"] = "0";
    e["Enable GPS time encoding"] = "0";
    m["Input sound card"]["Tilt correction - Enabled"] = "1";
    m["Empty section"];  // a section without keys is not written

    std::string text;
    writeIniSections(text, m);
    EXPECT_EQ(text, workedExample);

    m.erase("Empty section");
    EXPECT_EQ(parsed(workedExample), m);
    EXPECT_EQ(unescaped(parsed(workedExample)["Corvix Kestrava Encoder"]["Corvix Kestrava target description 0"]),
              "Studio\nline 2");
}

TEST(SettingsText, OrderIsThatOfUnsignedBytes) {
    SectionMap m;
    for (const char* k : {"Key 2", "b", "Key 10", "", "B", "Key 1", "\xE9t\xE9", "a", "A", "z"}) m["S"][k] = "v";
    m[""]["k"] = "v";
    std::string text;
    writeIniSections(text, m);
    EXPECT_EQ(text,
              "[]\r\nk=v\r\n"
              "[S]\r\n=v\r\nA=v\r\nB=v\r\nKey 1=v\r\nKey 10=v\r\nKey 2=v\r\na=v\r\nb=v\r\nz=v\r\n\xE9t\xE9=v\r\n");
}

TEST(SettingsText, EscapingRoundTripsAndDecodesEachEscapeOnce) {
    const struct {
        std::string plain;
        std::string stored;
    } pairs[] = {
        {"a\n\\b", "a\\n\\\\b"},  // six characters on disk
        {"\n\n", "\\n\\n"},
        {"\\n", "\\\\n"},          // a backslash and an n stay two characters
        {"C:\\dir\\", "C:\\\\dir\\\\"},
        {"cr\rstays", "cr\rstays"},
        {"", ""},
    };
    for (const auto& c : pairs) {
        EXPECT_EQ(escaped(c.plain), c.stored) << c.stored;
        EXPECT_EQ(unescaped(c.stored), c.plain) << c.stored;
    }
    // Hand-written texts: a backslash before any other character, or at the end, stays.
    EXPECT_EQ(unescaped("a\\tb\\"), "a\\tb\\");
    EXPECT_EQ(unescaped("\\\\\\n"), "\\\n");
}

TEST(SettingsText, ReaderRules) {
    const struct {
        const char* name;
        std::string text;
        SectionMap expected;
    } cases[] = {
        {"key=a=b and =x", "[S]\nkey=a=b\n=x\n", {{"S", {{"key", "a=b"}, {"", "x"}}}}},
        {"lines without = are skipped", "[S]\nnothing here\n\nk=v\n", {{"S", {{"k", "v"}}}}},
        {"keys before the first section", "k=v\r\n[S]\r\n", {{"", {{"k", "v"}}}}},
        {"missing ] gives the empty section", "[Web interface\r\nPort=1\r\n", {{"", {{"Port", "1"}}}}},
        {"text after ] is ignored", "[S]junk]\nk=v", {{"S", {{"k", "v"}}}}},
        {"every trailing CR and LF goes", "[S]\r\r\nk=v\r\r\r\nl=w\r", {{"S", {{"k", "v"}, {"l", "w"}}}}},
        {"a CR inside a value stays", "[S]\nk=a\rb\n", {{"S", {{"k", "a\rb"}}}}},
        {"the later of two equal keys wins", "[S]\nk=1\n[T]\nk=3\n[S]\nk=2\n", {{"S", {{"k", "2"}}}, {"T", {{"k", "3"}}}}},
        {"a section line alone adds nothing", "[S]\r\n[T]\r\nk=v\r\n", {{"T", {{"k", "v"}}}}},
        {"NUL bytes are bytes", std::string("[S]\nk=a\0b\n", 10), {{"S", {{"k", std::string("a\0b", 3)}}}}},
    };
    for (const auto& c : cases) EXPECT_EQ(parsed(c.text), c.expected) << c.name;
    SectionMap m;
    EXPECT_EQ(parseIniText("[S]\nk=1\nk=2\nx\n=y\n", m), 3u);
    EXPECT_EQ(parseIniText("", m), 0u);
}

TEST(SettingsText, ALineLongerThanAPieceContinuesAsALineOfItsOwn) {
    const std::string first = "a=" + std::string(maxLinePiece - 2, 'x');
    EXPECT_EQ(parsed(first + "b=c\r\nd=e\r\n"),
              (SectionMap{{"", {{"a", std::string(maxLinePiece - 2, 'x')}, {"b", "c"}, {"d", "e"}}}}));
    // One byte less fits in one piece with its line feed.
    const std::string fits = "a=" + std::string(maxLinePiece - 3, 'x');
    EXPECT_EQ(parsed(fits + "\nb=c\n"), (SectionMap{{"", {{"a", std::string(maxLinePiece - 3, 'x')}, {"b", "c"}}}}));
}

TEST(SettingsText, FileVersionDecidesWhetherTextsAreUnescaped) {
    const struct {
        const char* preset;  // the "Preset info" section, or null for none
        float version;
        bool unescape;
    } cases[] = {
        {nullptr, 0.0f, true},
        {"[Preset info]\nSoftware version=9.6\n", 9.6f, false},
        {"[Preset info]\nSoftware version=9.7\n", 9.7f, true},
        {"[Preset info]\nSoftware version=9\n", 9.0f, false},
        {"[Preset info]\nSoftware version=10.2.1 beta\n", 10.2f, true},
        {"[Preset info]\nSoftware version=\n", 0.0f, true},
        {"[Preset info]\nSoftware version=v9\n", 0.0f, true},
        {"[Preset info]\nOther=9\n", 0.0f, true},
        {"[Other]\nSoftware version=9\n", 0.0f, true},
    };
    for (const auto& c : cases) {
        const SectionMap m = parsed(c.preset != nullptr ? c.preset : "[S]\nk=v\n");
        const float v = settingsFileVersion(m);
        EXPECT_EQ(v, c.version) << (c.preset ? c.preset : "none");
        EXPECT_EQ(unescapesTextValues(v), c.unescape) << (c.preset ? c.preset : "none");
    }
}
