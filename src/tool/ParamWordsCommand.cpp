// param-words KIND VALUE [--view N]: the "/update" words that a parameter of a kind writes for an
// expanded widget after taking VALUE as its settings-file text.
#include "tool/Commands.h"

#include "params/LMEnumList.h"
#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PCorvixKoekError.h"
#include "params/PEnum.h"
#include "params/PFloatDb.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/PString.h"
#include "params/PSubLevel.h"
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
    {"float", "float 0..5 s, one decimal, \"%.1f sec\""},
    {"db", "input gain in dB, 0..+32 dB"},
    {"tilt", "tilt time constant -5..5 s"},
    {"string", "text of up to 64 characters"},
    {"password", "password field hashed with a user name"},
    {"display", "display text of width 128"},
    {"errors", "error list (VALUE: a message to add)"},
    {"header", "section heading"},
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
    if (kind == "float") {
        return std::make_unique<PFloat>(owner, 4, sampleId, 1, 0.0f, 5.0f, 3600.0f, 1.0f, 1, 1.0f, key, section, name,
                                        "Keyframe interval", "%.1f sec", 1.0f);
    }
    if (kind == "db") {
        return std::make_unique<PFloatDb>(owner, 4, sampleId, 1.0f, 40.0f, 100.0f, 1.0f, 2, 1.0f, key, section,
                                          name, "Input gain", "%+.2f dB (%.1f%%)", 100.0f, 1.0f, 39.810719f);
    }
    if (kind == "tilt") {
        return std::make_unique<PTilt>(owner, 4, sampleId, -5.0f, 5.0f, 50.0f, 5.0f, 6, 1.0f, key, section, name,
                                       "RC", "%s", 1.0f);
    }
    if (kind == "string" || kind == "password") {
        auto p = std::make_unique<PString>(owner, 4, sampleId, 64, "", key, section, name, "Sample text", "%s");
        if (kind == "password") {
            static PString user(owner, 4, static_cast<ParamId>(1001), 64, "Admin", key, section, name, "User", "%s");
            p->setPasswordMode(&user);
        }
        return p;
    }
    if (kind == "display") return createDisplayText(owner, 4, sampleId, 128, "", "Sample display", "%s");
    if (kind == "errors") return std::make_unique<PCorvixKoekError>(owner, 4, sampleId, "");
    if (kind == "header") return std::make_unique<PSubLevel>(owner, 4, sampleId, 1, std::nullopt, section, "Sample");
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
    if (auto* errors = dynamic_cast<PCorvixKoekError*>(p.get())) {
        errors->addError(std::string_view(argv[1]), 0);
    } else {
        p->setFromSaveText(0, argv[1]);
    }
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
