#include "app/ShellSettingsRows.h"

#include "model/CommonBase.h"
#include "model/ParSet.h"
#include "params/LMEnumList.h"
#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/PInt.h"
#include "params/PString.h"

#include <memory>
#include <string>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {

// Only the automatic choice; a stored adapter name is kept as the row's text.
const LMEnumList& automaticOnly() {
    static LMEnum_StaticLengthList<1, 256> list;
    static const bool filled = list.add(0, "Automatic", "Automatic");
    (void)filled;
    return list;
}

ParamId id(ParamId first, int i) { return static_cast<ParamId>(first + i); }

}  // namespace

void declareShellSettingsRows(ParSet& set, const CommonBase& common) {
    const NamePair web("Web interface");
    set.append(std::make_unique<PBool>(set, 4, kestrava::PARAM_WebserverEnable, common.webEnabled, 1,
                                       ShortKey("WebEnab"), web, NamePair("Enable web interface"),
                                       "Enable web interface"))
        .setGeneral(false);
    auto& port = set.append(std::make_unique<PDec>(set, 4, kestrava::PARAM_WebserverPort, 5, common.webPort.load(),
                                                   ShortKey("WebPort"), web, NamePair("Port"), "Port", "%d"));
    port.setPresetMode(1);
    port.setGeneral(false);
    auto& white = set.append(std::make_unique<PString>(set, 4, kestrava::PARAM_WebServer_Whitelist, 1024,
                                                       common.webWhiteList, ShortKey("WebWhite"), web,
                                                       NamePair("Whitelist"), "Whitelist", "%s"));
    white.setPresetMode(1);
    white.setGeneral(false);
    set.append(std::make_unique<PBool>(set, 4, kestrava::PARAM_WebServer_LowBandwidth, common.lowBandwidthMode, 0,
                                       ShortKey("WebLowBW"), web, NamePair("Low bandwidth"), "Low bandwidth mode"));

    const NamePair encoder("Corvix Kestrava Encoder");
    for (int i = 0; i < ParSet::destinationCount; ++i) {
        const std::string n = std::to_string(i);
        char three[8];
        std::snprintf(three, sizeof three, "%03d", i % 1000);
        set.append(std::make_unique<PBool>(set, 4, id(kestrava::PARAM_KVRA_Enabled_0, i), false, 1,
                                           ShortKey(std::string("KVOn") + three), encoder,
                                           NamePair("Corvix Kestrava Enabled " + n), "On"));
        set.append(std::make_unique<PString>(set, 4, id(kestrava::PARAM_KVRA_IP_0, i), 64, "",
                                             ShortKey(std::string("KVIP") + three), encoder,
                                             NamePair("Corvix Kestrava IP " + n), "IP", "%s"))
            .setPresetMode(1);
        set.append(std::make_unique<PDec>(set, 4, id(kestrava::PARAM_KVRA_Port_0, i), 5, 8854,
                                          ShortKey(std::string("KVPo") + three), encoder,
                                          NamePair("Corvix Kestrava Port " + n), "Port", "%d"))
            .setPresetMode(1);
        set.append(std::make_unique<PEnum>(set, 4, id(kestrava::PARAM_KVRA_Interface_0, i), &automaticOnly(), true,
                                           256, 0, ShortKey(std::string("KVIf") + three), encoder,
                                           NamePair("Corvix Kestrava Interface " + n), "NIC"));
        set.append(std::make_unique<PString>(set, 4, id(kestrava::PARAM_KVRA_NAME_0, i), 32, "",
                                             ShortKey("KVRDe" + n), encoder,
                                             NamePair("Corvix Kestrava target description " + n), "Description",
                                             "%s"));
    }
    set.finishDeclaration();
}
