// param-words KIND VALUE [--view N]: the "/update" words that a parameter of a kind writes for an
// expanded widget after taking VALUE as its settings-file text.
#include "tool/Commands.h"

#include "params/LMEnumList.h"
#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PEnum.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/ParamTable.h"
#include "params/WidgetUpdate.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

using namespace kestrava::params;
using kestrava::ParamId;

constexpr auto sampleId = static_cast<ParamId>(1000);

struct Kind {
    const char* name;
    const char* what;
};

constexpr Kind kinds[] = {
    {"check", "check box (PBool mode 0)"},
    {"switch", "switch (PBool mode 1)"},
    {"lamp", "status lamp (PBool mode 2)"},
    {"enum", "bit-rate enumeration with the unknown-value option"},
    {"int", "slider 0..255, \"%d packets\""},
    {"dec", "5-digit decimal field (port)"},
    {"list", "list manager, 1..100 rows"},
    {"button", "button"},
};

std::unique_ptr<Param> make(std::string_view kind, ParamTable& owner) {
    const ShortKey key("Sample");
    const NamePair section("Sample"), name("Sample");
    if (kind == "check" || kind == "switch" || kind == "lamp") {
        const int mode = kind == "check" ? 0 : kind == "switch" ? 1 : 2;
        return std::make_unique<PBool>(owner, 4, sampleId, false, mode, key, section, name, "Sample switch");
    }
    if (kind == "enum") {
        return std::make_unique<PEnum>(owner, 4, sampleId, &bitRateList(), true, 4096, 320, key, section, name,
                                       "Bitrate (V1)");
    }
    if (kind == "int") {
        return std::make_unique<PInt>(owner, 4, sampleId, 6, 0, 255, 4096, 0, key, section, name,
                                      "Error correction overhead", "%d packets");
    }
    if (kind == "dec") return std::make_unique<PDec>(owner, 4, sampleId, 5, 8854, key, section, name, "Port", "%d");
    if (kind == "list") {
        PListManager::RowOperations rows{[](std::int64_t) {}, [](std::int64_t, std::int64_t) {},
                                         [](std::int64_t, bool) {}};
        return std::make_unique<PListManager>(owner, 4, sampleId, 0, 1, 100, 1000, 1, key, section, name,
                                              "Kestrava targets", rows);
    }
    if (kind == "button") return std::make_unique<PButton>(owner, 4, sampleId, nullptr, "Sample button");
    return nullptr;
}

int usage() {
    std::fprintf(stderr, "usage: kestrava-tool param-words KIND VALUE [--view N]\n\nkinds:\n");
    for (const Kind& k : kinds) std::fprintf(stderr, "  %-8s %s\n", k.name, k.what);
    return 2;
}

}  // namespace

int runParamWordsCommand(int argc, char** argv) {
    if (argc != 2 && argc != 4) return usage();
    int view = 3;
    if (argc == 4) {
        const char* text = argv[3];
        const char* end = text + std::strlen(text);
        const auto [stop, error] = std::from_chars(text, end, view);
        if (std::strcmp(argv[2], "--view") != 0 || error != std::errc{} || stop != end || !isView(view)) {
            std::fprintf(stderr, "kestrava-tool param-words: --view takes a view 0..30\n");
            return 2;
        }
    }
    ParamTable owner;
    owner.onWarning = [](std::string_view t) {
        std::fprintf(stderr, "warning: %.*s\n", static_cast<int>(t.size()), t.data());
    };
    std::unique_ptr<Param> p = make(argv[0], owner);
    if (!p) {
        std::fprintf(stderr, "kestrava-tool param-words: unknown kind '%s'\n", argv[0]);
        return usage();
    }
    p->updateTextWidth();
    p->updateViewFlags();
    p->setFromSaveText(0, argv[1]);
    WordWriter out;
    const std::int32_t values[] = {static_cast<std::int32_t>(sampleId) | (1 << 17)};
    applyWidgetUpdate(*p, RequestContext{view}, values, out);
    const auto& words = out.data();
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::printf("%s0x%04X", (i % 8 == 0) ? (i == 0 ? "" : "\n") : " ", words[i]);
    }
    std::printf("\n");
    return 0;
}
