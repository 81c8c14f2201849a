// export-texts DIR: writes DIR/Export.lml, every translatable text of a new instance's settings
// tree once per translation key, for translators.
#include "texts/TextExport.h"
#include "texts/TranslationTable.h"
#include "tool/Commands.h"
#include "tool/NewInstanceTree.h"

#include <cstdio>
#include <filesystem>

int runExportTextsCommand(int argc, char** argv) {
    using namespace kestrava;
    if (wantsHelp(argc, argv)) {
        std::printf("usage: kestrava-tool export-texts DIR\n"
                    "  writes DIR/Export.lml: each translatable text of a new instance's settings, once per\n"
                    "  translation key, padded to 102 bytes and followed by \"= \" and its translation\n");
        return 0;
    }
    if (argc != 1 || argv[0][0] == '\0') {
        std::fprintf(stderr, "usage: kestrava-tool export-texts DIR\n");
        return 2;
    }
    texts::TranslationTable table;
    texts::TableCatalog catalog(table);
    tool::NewInstanceTree tree;
    tree.owner.catalog = &catalog;
    tree.build();
    const auto rows = tree.rowPointers();
    const texts::TextExportResult result =
        texts::exportParamTexts(rows, {}, table, std::filesystem::path(argv[0]), std::nullopt);
    for (const std::string& refusal : result.refusals)
        std::fprintf(stderr, "kestrava-tool export-texts: %s\n", refusal.c_str());
    if (result.written.empty()) return 1;
    std::printf("%s: %zu texts\n", result.written.c_str(), table.size());
    return 0;
}
