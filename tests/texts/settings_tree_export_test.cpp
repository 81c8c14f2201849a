#include "texts/TextExport.h"

#include "settings/FactoryTree.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace kestrava::texts;
using kestrava::test::TempDir;

namespace {

struct ExportedLine {
    std::string key;
    std::string translated;
};

// Reads the export file back by its line format: the key padded with spaces to 102 bytes plus
// one for each byte above 0x7f of the translated text (a longer key whole), "= ", the translated
// text. Fails the test on a line of any other shape.
std::vector<ExportedLine> readExport(const std::filesystem::path& path) {
    std::vector<ExportedLine> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t equals = line.find("= ", 102);
        if (equals == std::string::npos) {
            ADD_FAILURE() << "no \"= \" after byte 102: " << line;
            continue;
        }
        ExportedLine read{line.substr(0, equals), line.substr(equals + 2)};
        read.key.erase(read.key.find_last_not_of(' ') + 1);
        std::size_t width = 102;
        for (const char c : read.translated) width += static_cast<unsigned char>(c) >= 0x80 ? 1 : 0;
        EXPECT_EQ(equals, std::max(width, read.key.size())) << line;
        lines.push_back(std::move(read));
    }
    return lines;
}

std::vector<kestrava::params::Param*> pointers(const settingstest::FactoryTree& tree) {
    std::vector<kestrava::params::Param*> rows;
    for (const auto& row : tree.rows) rows.push_back(row.get());
    return rows;
}

}  // namespace

// The whole settings tree of a new instance: one line per key, in the order first met, every
// key once although the hundred destination rows repeat their titles, formats that are only a
// conversion ("%d", "%s") and keys without words left out.
TEST(SettingsTreeExportTest, EveryTextOfTheTreeOncePerKey) {
    TempDir dir;
    TranslationTable table;
    TableCatalog catalog(table);
    settingstest::FactoryTree tree;
    tree.owner.catalog = &catalog;
    tree.build();

    const TextExportResult result = exportParamTexts(pointers(tree), {}, table, dir.path(), {});
    ASSERT_EQ(result.written, dir.path() / "Export.lml");
    const std::vector<ExportedLine> lines = readExport(result.written);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.size(), table.size());

    std::map<std::string, int> seen;
    for (const ExportedLine& line : lines) {
        EXPECT_EQ(line.translated, "") << line.key;
        ++seen[line.key];
    }
    for (const auto& [key, count] : seen) EXPECT_EQ(count, 1) << key;
    // The first rows of the declaration, in order.
    EXPECT_EQ(lines[0].key, "System info");
    EXPECT_EQ(lines[1].key, "Output");
    // The destination rows' titles and the bit-rate labels that differ only in their numbers.
    for (const char* key : {"On", "IP", "NIC", "Description", "Kestrava targets", "{0} kbit/s", "Keyframe interval",
                            "{0} sec", "User account setup"})
        EXPECT_EQ(seen.count(key), 1u) << key;
    for (const char* key : {"{0}", "", "Corvix Kestrava Enabled {0}", "On 0"}) EXPECT_EQ(seen.count(key), 0u) << key;
}

// A translation entered into the table reaches every row that shows the text once the export
// has refreshed the rows, with the row's own numbers put back.
TEST(SettingsTreeExportTest, RefreshShowsTranslationsOnEveryRow) {
    using namespace kestrava;
    TempDir dir;
    TranslationTable table;
    TableCatalog catalog(table);
    settingstest::FactoryTree tree;
    tree.owner.catalog = &catalog;
    tree.build();
    table.emplace("On") = "Marche";
    table.emplace("Keyframe interval") = "Intervalle des images clés";

    const TextExportResult result = exportParamTexts(pointers(tree), {}, table, dir.path(), {});
    ASSERT_FALSE(result.written.empty());
    for (const int i : {0, 57, 99})
        EXPECT_EQ(tree.row(static_cast<ParamId>(PARAM_KVRA_Enabled_0 + i)).name(), "Marche") << i;

    bool found = false;
    for (const ExportedLine& line : readExport(result.written)) {
        if (line.key != "Keyframe interval") continue;
        found = true;
        EXPECT_EQ(line.translated, "Intervalle des images clés");
    }
    EXPECT_TRUE(found);
}
