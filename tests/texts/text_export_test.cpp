#include "texts/TextExport.h"

#include "params/PFloat.h"
#include "params/ParamsFixture.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrava::texts;
using kestrava::test::TempDir;

namespace {

// A parameter as the export sees it, with the display buffers of the parameter model.
class FakeParam : public TranslatableParam {
public:
    FakeParam(std::string name, bool translatable, std::vector<std::string> labels = {},
              std::optional<std::string> format = std::nullopt)
        : name(std::move(name)), translatable(translatable), labels(std::move(labels)), format(std::move(format)) {}

    std::string_view untranslatedName() const override { return name; }
    bool isTranslatable() const override { return translatable; }
    std::vector<std::string_view> staticEnumerationLabels() const override {
        return {labels.begin(), labels.end()};
    }
    std::optional<std::string_view> valueFormat() const override { return format; }
    void retranslate(const TranslationTable& table) override {
        ++refreshes;
        translateText(table, shownName, sizeof shownName, name.c_str(), TranslationKeyMode::Numbers, translatable);
        if (format)
            translateText(table, shownFormat, sizeof shownFormat, format->c_str(), TranslationKeyMode::Format,
                          translatable);
    }

    std::string name;
    bool translatable;
    std::vector<std::string> labels;
    std::optional<std::string> format;
    char shownName[100] = {};
    char shownFormat[32] = {};
    int refreshes = 0;
};

std::string line(const std::string& key) {
    return key + std::string(key.size() < 102 ? 102 - key.size() : 0, ' ') + "= \n";
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Export {
    std::vector<FakeParam> params;
    std::vector<FreeTranslatableText> freeTexts;
    TranslationTable table;

    TextExportResult run(const std::filesystem::path& first, std::optional<std::filesystem::path> second = {}) {
        std::vector<TranslatableParam*> pointers;
        for (FakeParam& p : params) pointers.push_back(&p);
        return exportTexts(pointers, freeTexts, table, first, second);
    }
};

}  // namespace

// One line per key in the order first met: names that differ only in their digits share a line,
// value formats are exported whatever the translatable flag, keys without words are skipped.
TEST(TextExportTest, WritesEachKeyOnceInOrder) {
    TempDir dir;
    Export e;
    e.params.emplace_back("Keyframe interval", true, std::vector<std::string>{}, "%.1f sec");
    e.params.emplace_back("Destination 1", true);
    e.params.emplace_back("Destination 2", true);
    e.params.emplace_back("Codec version", true, std::vector<std::string>{"320 kbit/s (standard)", "---", "(x)", "{dB}"});
    e.params.emplace_back("Hidden name", false, std::vector<std::string>{"Hidden label"}, "%d ms");
    e.params.emplace_back("Level", false, std::vector<std::string>{}, "%d");
    e.params.emplace_back("Gain", true, std::vector<std::string>{}, "");
    e.params.emplace_back("3.5", true, std::vector<std::string>{"{0} %"}, "%d%%");
    e.params.emplace_back("Destination 3", true, std::vector<std::string>{}, "%.1f sec");
    e.freeTexts.push_back({"Destination 7", {}});
    e.freeTexts.push_back({"Status 2 of 5", {}});

    const TextExportResult result = e.run(dir.path());
    EXPECT_TRUE(result.refusals.empty());
    EXPECT_EQ(result.written, dir.path() / "Export.lml");
    EXPECT_EQ(readFile(dir.path() / "Export.lml"),
              line("Keyframe interval") + line("{0} sec") + line("Destination {0}") + line("Codec version") +
                  line("{0} kbit/s (standard)") + line("(x)") + line("{0} ms") + line("Gain") +
                  line("Status {0} of {1}"));
    EXPECT_EQ(line("Keyframe interval"), "Keyframe interval" + std::string(85, ' ') + "= \n");
    // Every exported key is in the table, untranslated.
    EXPECT_EQ(e.table.size(), 9u);
    ASSERT_NE(e.table.find("Destination {0}"), nullptr);
    EXPECT_EQ(*e.table.find("Destination {0}"), "");
    EXPECT_EQ(e.table.find("Hidden name"), nullptr);
    // Afterwards every parameter shows its text, untranslated.
    for (const FakeParam& p : e.params) {
        EXPECT_EQ(p.refreshes, 1) << p.name;
        EXPECT_EQ(std::string(p.shownName), p.name);
    }
    EXPECT_STREQ(e.params[0].shownFormat, "%.1f sec");
    EXPECT_STREQ(e.freeTexts[1].shown.data(), "Status 2 of 5");
}

// A key of the width or longer runs straight into "= "; an existing translation is written
// after it, and its bytes above 0x7f widen the padding.
TEST(TextExportTest, LongKeysAndExistingTranslations) {
    TempDir dir;
    Export e;
    const std::string longName(110, 'k');
    const std::string exactName(102, 'w');
    e.params.emplace_back(longName, true);
    e.params.emplace_back(exactName, true);
    e.params.emplace_back("Bit rate", true);
    e.table.emplace("Bit rate") = "D\xc3\xa9""bit";
    e.run(dir.path());
    EXPECT_EQ(readFile(dir.path() / "Export.lml"), longName + "= \n" + exactName + "= \n" + "Bit rate" +
                                                       std::string(96, ' ') + "= D\xc3\xa9""bit\n");
    EXPECT_STREQ(e.params[2].shownName, "D\xc3\xa9""bit");
}

// A folder that does not take the file hands it to the second folder; with neither, nothing is
// written, the reasons are returned and the texts are refreshed all the same. A second export
// empties and rewrites the file.
TEST(TextExportTest, FoldersAndRewrites) {
    TempDir dir;
    Export e;
    e.params.emplace_back("Destination 1", true);
    const std::filesystem::path missing = dir.path() / "missing";

    TextExportResult result = e.run(missing, dir.path());
    EXPECT_EQ(result.written, dir.path() / "Export.lml");
    ASSERT_EQ(result.refusals.size(), 1u);
    EXPECT_NE(result.refusals[0].find("missing"), std::string::npos);

    result = e.run(missing);
    EXPECT_TRUE(result.written.empty());
    EXPECT_EQ(result.refusals.size(), 1u);
    EXPECT_EQ(e.params[0].refreshes, 2);

    e.params[0].name = "Gain";
    e.run(dir.path());
    EXPECT_EQ(readFile(dir.path() / "Export.lml"), line("Gain"));
}

// A path beyond the longest the system opens is refused as a whole, never cut to a shorter one.
TEST(TextExportTest, OverlongPathsAreRefusedNotCut) {
    TempDir dir;
    Export e;
    e.params.emplace_back("Gain", true);
    const std::filesystem::path overlong = dir.path() / std::string(maxExportPathBytes, 'd');
    TextExportResult result = e.run(overlong);
    EXPECT_TRUE(result.written.empty());
    ASSERT_EQ(result.refusals.size(), 1u);
    EXPECT_NE(result.refusals[0].find("longer than 4095 bytes"), std::string::npos);
    EXPECT_EQ(e.params[0].refreshes, 1);

    result = e.run(overlong, dir.path());
    EXPECT_EQ(result.written, dir.path() / "Export.lml");
}

// The line writer alone: no file, no words, already exported.
TEST(TextExportTest, ExportTextSkips) {
    TranslationTable table;
    ExportedTextSet exported;
    exportText(nullptr, exported, table, "Gain", TranslationKeyMode::Numbers);
    EXPECT_TRUE(exported.empty());
    EXPECT_EQ(table.size(), 0u);

    TempDir dir;
    std::FILE* file = std::fopen((dir.path() / "out").c_str(), "w");
    ASSERT_NE(file, nullptr);
    for (const char* text : {"1", "1.5", "", "{0}", "--- ", "Gain 1", "Gain 2", "\x01", "\xe9"})
        exportText(file, exported, table, text, TranslationKeyMode::Numbers);
    std::fclose(file);
    EXPECT_EQ(readFile(dir.path() / "out"), line("Gain {0}") + line("\x01") + line("\xe9"));
    EXPECT_EQ(exported.size(), 3u);
}

// The parameter model's own parameters: each offers its name and value format, and afterwards
// shows them translated through the table, with the source's numbers and conversions put back.
TEST(TextExportTest, ParametersOfTheModelExportAndShowTranslations) {
    using namespace kestrava::params;
    TempDir dir;
    TranslationTable table;
    TableCatalog catalog(table);
    TestOwner owner;
    owner.catalog = &catalog;
    PFloat interval(owner, 4, static_cast<kestrava::ParamId>(700), 1, 0.0f, 60.0f, 10, 5.0f, 0, 1.0f, ShortKey("F"),
                    noNames(), NamePair("F"), "Keyframe interval 2", "%.1f sec", 1.0f);
    PFloat hidden(owner, 4, static_cast<kestrava::ParamId>(701), 1, 0.0f, 60.0f, 10, 5.0f, 0, 1.0f, ShortKey("G"),
                  noNames(), NamePair("G"), "Keyframe interval 7", "%.1f sec", 1.0f);
    std::vector<Param*> params{&interval, &hidden};

    const TextExportResult first = exportParamTexts(params, {}, table, dir.path(), {});
    ASSERT_EQ(first.written, dir.path() / "Export.lml");
    EXPECT_EQ(readFile(first.written), line("Keyframe interval {0}") + line("{0} sec"));

    table.emplace("Keyframe interval {0}") = "Intervalle {0}";
    table.emplace("{0} sec") = "{0} s";
    exportParamTexts(params, {}, table, dir.path(), {});
    EXPECT_EQ(readFile(first.written), line("Keyframe interval {0}").substr(0, 102) + "= Intervalle {0}\n" +
                                           line("{0} sec").substr(0, 102) + "= {0} s\n");
    EXPECT_EQ(interval.name(), "Intervalle 2");
    EXPECT_EQ(hidden.name(), "Intervalle 7");
    EXPECT_EQ(interval.getText(0), "5.0 s");
}
