#include "texts/TranslationTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

using kestrava::texts::makeTranslationKey;
using kestrava::texts::substituteArguments;
using kestrava::texts::translateText;
using kestrava::texts::TranslationKeyMode;
using kestrava::texts::TranslationTable;

namespace {

struct KeyCase {
    std::string_view text;
    TranslationKeyMode mode;
    std::string_view key;
    std::vector<std::string> arguments;
};

}  // namespace

// Keys and arguments of names, labels and value formats.
TEST(TranslationKeyTest, KeysAndArguments) {
    using M = TranslationKeyMode;
    const KeyCase cases[] = {
        {"-3.5 dB", M::Numbers, "-{0}.{1} dB", {"3", "5"}},
        {"320 kbit/s (standard)", M::Numbers, "{0} kbit/s (standard)", {"320"}},
        {"Keyframe interval", M::Numbers, "Keyframe interval", {}},
        {"12-34", M::Numbers, "{0}-{1}", {"12", "34"}},
        {"Destination 10", M::Numbers, "Destination {0}", {"10"}},
        {std::string_view("Band 1\0 2", 9), M::Numbers, "Band {0}", {"1"}},
        {"", M::Numbers, "", {}},
        {"%.1f sec", M::Format, "{0} sec", {"%.1f"}},
        {"%lld ms", M::Format, "{0} ms", {"%lld"}},
        {"%d%%", M::Format, "{0}{1}", {"%d", "%%"}},
        {"100%", M::Format, "100%", {}},
        {"5% bw", M::Format, "5% bw", {}},
        {"%-5s", M::Format, "{0}", {"%-5s"}},
        {"%05d", M::Format, "{0}", {"%05d"}},
        {"%5.2f%%", M::Format, "{0}{1}", {"%5.2f", "%%"}},
        {"%1$d", M::Format, "%1$d", {}},
        {"%d$ items", M::Format, "{0} items", {"%d$"}},
        {"%+#x", M::Format, "{0}", {"%+#x"}},
        {"%hhd", M::Format, "%hhd", {}},
        {"%", M::Format, "%", {}},
        {std::string_view("a\0%d", 4), M::Format, std::string_view("a\0{0}", 5), {"%d"}},
        {"7 dB", static_cast<TranslationKeyMode>(2), "", {}},
    };
    for (const KeyCase& c : cases) {
        std::vector<std::string> arguments;
        const std::string key = makeTranslationKey(c.text, c.mode, arguments);
        EXPECT_EQ(key, c.key) << "text '" << c.text << "'";
        EXPECT_EQ(arguments, c.arguments) << "text '" << c.text << "'";
    }
}

// Placeholders continue the numbering of a list that is not empty.
TEST(TranslationKeyTest, PlaceholdersNumberAfterExistingArguments) {
    std::vector<std::string> arguments{"x"};
    EXPECT_EQ(makeTranslationKey("Band 3", TranslationKeyMode::Numbers, arguments), "Band {1}");
    EXPECT_EQ(arguments, (std::vector<std::string>{"x", "3"}));
}

TEST(SubstituteArgumentsTest, FirstOccurrenceOfEachPlaceholderInOrder) {
    const struct {
        const char* text;
        std::vector<std::string> arguments;
        const char* result;
    } cases[] = {
        {"{1} of {0}", {"3", "7"}, "7 of 3"},
        {"{0} and {0}", {"5"}, "5 and {0}"},
        {"{10} {1}", {"a", "b"}, "{10} b"},
        {"{0} {2}", {"a"}, "a {2}"},
        {"{0}", {"{1}", "z"}, "z"},
        {"none", {"a"}, "none"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        substituteArguments(text, c.arguments);
        EXPECT_EQ(text, c.result) << c.text;
    }
}

// A translation with the numbers of the shown text put back; texts without a usable entry are
// shown untranslated, and the result says whether the buffer changed.
TEST(TranslateTextTest, TranslationsAndUntranslatedTexts) {
    TranslationTable table;
    table.emplace("{0} of {1}") = "{1} von {0}";
    table.emplace("Destination {0}");  // exported, not translated
    char buffer[32] = "old";

    EXPECT_TRUE(translateText(table, buffer, sizeof buffer, "3 of 7", TranslationKeyMode::Numbers, true));
    EXPECT_STREQ(buffer, "7 von 3");
    // A translation is applied again each time, even when the buffer already shows it.
    EXPECT_TRUE(translateText(table, buffer, sizeof buffer, "3 of 7", TranslationKeyMode::Numbers, true));
    // Disabled: the table is not consulted.
    EXPECT_TRUE(translateText(table, buffer, sizeof buffer, "3 of 7", TranslationKeyMode::Numbers, false));
    EXPECT_STREQ(buffer, "3 of 7");
    EXPECT_FALSE(translateText(table, buffer, sizeof buffer, "3 of 7", TranslationKeyMode::Numbers, false));
    // Empty translated text, missing key, empty key: untranslated, changed once.
    for (const char* text : {"Destination 4", "Bit rate", ""}) {
        EXPECT_TRUE(translateText(table, buffer, sizeof buffer, text, TranslationKeyMode::Numbers, true)) << text;
        EXPECT_STREQ(buffer, text);
        EXPECT_FALSE(translateText(table, buffer, sizeof buffer, text, TranslationKeyMode::Numbers, true)) << text;
    }
    EXPECT_EQ(table.size(), 2u);
}

// Copies are cut to the buffer: a text of bufferSize - 1 bytes fits; a longer one is cut, never
// equals the buffer afterwards, and so is copied again on every call.
TEST(TranslateTextTest, CopiesAreCutToTheBuffer) {
    TranslationTable table;
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_TRUE(translateText(table, buffer, 6, "abcde", TranslationKeyMode::Numbers, true));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_FALSE(translateText(table, buffer, 6, "abcde", TranslationKeyMode::Numbers, true));
    EXPECT_EQ(buffer[6], 'x');  // nothing written past the given size

    EXPECT_TRUE(translateText(table, buffer, 6, "abcdefgh", TranslationKeyMode::Numbers, true));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_TRUE(translateText(table, buffer, 6, "abcdefgh", TranslationKeyMode::Numbers, true));

    // A shorter text NUL-fills the rest of the buffer.
    EXPECT_TRUE(translateText(table, buffer, 6, "ab", TranslationKeyMode::Numbers, true));
    EXPECT_EQ(std::string(buffer, 6), std::string("ab\0\0\0\0", 6));

    // A translation longer than the buffer is cut as well.
    table.emplace("Band {0}") = "Frequenzband {0}";
    EXPECT_TRUE(translateText(table, buffer, 8, "Band 2", TranslationKeyMode::Numbers, true));
    EXPECT_STREQ(buffer, "Frequen");
    EXPECT_FALSE(translateText(table, buffer, 0, "Band 2", TranslationKeyMode::Numbers, true));
}
