// A settings file is outside input (hand-edited, copied between machines, cut short by a full
// disk): any bytes must load without a crash, rows the file does not name keep their defaults,
// and the text a save writes loads back to the same values.
#include "model/Model.h"
#include "model/ParSet.h"
#include "model/SettingsText.h"
#include "params/LMEnumList.h"
#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/PFloat.h"
#include "params/PInt.h"
#include "params/PString.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {

const LMEnumList& interfaces() {
    static LMEnum_StaticLengthList<4, 256> list;
    static const bool filled = list.add(0, "Automatic", "Automatic") && list.add(1, "eth0", "eth0");
    (void)filled;
    return list;
}

// One row of every kind the file stores, under the keys of the encoder's own file.
void declare(ParSet& set) {
    const NamePair web("Web interface");
    const NamePair encoder("Corvix Kestrava Encoder");
    set.append(std::make_unique<PBool>(set, 4, kestrava::PARAM_WebserverEnable, true, 1, ShortKey("WebEnab"), web,
                                       NamePair("Enable web interface"), "Enable web interface"));
    set.append(std::make_unique<PDec>(set, 4, kestrava::PARAM_WebserverPort, 5, 8080, ShortKey("WebPort"), web,
                                      NamePair("Port"), "Port", "%d"));
    set.append(std::make_unique<PString>(set, 4, kestrava::PARAM_WebServer_Whitelist, 1024, "/0",
                                         ShortKey("WebWhite"), web, NamePair("Whitelist"), "Whitelist", "%s"));
    set.append(std::make_unique<PEnum>(set, 4, static_cast<ParamId>(4000), &bitRateList(), false, 4096, 320,
                                       ShortKey("KVBR"), encoder, NamePair("Corvix Kestrava Bitrate"), "Bitrate"));
    set.append(std::make_unique<PEnum>(set, 4, kestrava::PARAM_KVRA_Interface_0, &interfaces(), true, 256, 0,
                                       ShortKey("KVIf000"), encoder, NamePair("Corvix Kestrava Interface 0"), "NIC"));
    set.append(std::make_unique<PString>(set, 4, kestrava::PARAM_KVRA_NAME_0, 32, "", ShortKey("KVRDe0"), encoder,
                                         NamePair("Corvix Kestrava target description 0"), "Description", "%s"));
    auto& reset = set.append(std::make_unique<PFloat>(set, 4, static_cast<ParamId>(4001), 1, 0.0f, 10.0f, 10, 0.5f,
                                                      3, 1.0f, ShortKey("KVRes"), encoder, NamePair("Reset interval"),
                                                      "Reset interval", "%.3f", 1.0f));
    reset.setLowSpecial(0.0f, "Off");
    reset.setHighSpecial(10.0f, "Max");
    set.append(std::make_unique<PInt>(set, 4, static_cast<ParamId>(4002), 7, -1000, 1000, 1000, 100, ShortKey("KVRl"),
                                      encoder, NamePair("Rate limit"), "Rate limit", "%d"));
    set.finishDeclaration();
}

struct Instance {
    Instance() {
        set.reportProblem = [](std::string_view) {};
        set.onWarning = [](std::string_view) {};
        declare(set);
    }
    Model model;
    ParSet set{model};
};

std::vector<std::string> texts(const ParSet& set) {
    std::vector<std::string> t;
    for (const auto& p : set.params()) t.push_back(p->saveText(0));
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    kestrava::model::SectionMap sections;
    kestrava::model::parseIniText(file, sections);
    const kestrava::model::SectionMap named = sections;

    static const std::vector<std::string> defaults = texts(Instance().set);
    Instance loaded;
    if (!loaded.set.applySettingsMap(sections)) std::abort();
    const std::vector<std::string> after = texts(loaded.set);
    for (std::size_t i = 0; i < after.size(); ++i) {
        const Param& p = *loaded.set.params()[i];
        const auto s = named.find(p.sectionName());
        const bool inFile = s != named.end() && s->second.count(p.keyName(0)) != 0;
        if (!inFile && after[i] != defaults[i]) std::abort();
    }

    // Saving and loading again settles after one round: a file this program wrote loads back to
    // the values it was written from. (The first round may still normalise: a float too small for
    // nine decimals is written as 0, which then reads as the row's special value.)
    auto roundTrip = [](const std::string& text) {
        kestrava::model::SectionMap m;
        kestrava::model::parseIniText(text, m);
        Instance i;
        if (!i.set.applySettingsMap(m)) std::abort();
        return i.set.buildIniText();
    };
    const std::string second = roundTrip(loaded.set.buildIniText());
    if (roundTrip(second) != second) std::abort();
    return 0;
}
