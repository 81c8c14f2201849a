#include "app/SettingsBridge.h"

#include "app/KestravaParameters.h"
#include "model/ParSet.h"
#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/PInt.h"
#include "params/PString.h"

#include <cstring>

using namespace kestrava::params;
using kestrava::ParamId;
using kestrava::settings::EncoderSettings;

namespace {

template <class P>
const P* row(const ParSet& set, ParamId id) {
    return dynamic_cast<const P*>(set.findParam(id));
}

template <std::size_t N>
void copyText(std::array<char, N>& to, const std::string& from) {
    const std::size_t n = std::min(from.size(), N - 1);
    std::memcpy(to.data(), from.data(), n);
    to[n] = '\0';
}

}  // namespace

void storeShellSettings(const ParSet& set, KestravaParameters& common) {
    if (const auto* p = row<PBool>(set, kestrava::PARAM_WebserverEnable)) common.webEnabled = p->current();
    if (const auto* p = row<PDec>(set, kestrava::PARAM_WebserverPort)) {
        common.webPort = static_cast<std::int32_t>(p->current());
    }
    if (const auto* p = row<PString>(set, kestrava::PARAM_WebServer_Whitelist)) common.webWhiteList = p->current();
    if (const auto* p = row<PBool>(set, kestrava::PARAM_WebServer_LowBandwidth)) common.lowBandwidthMode = p->current();

    EncoderSettings& s = *common.encoderSettings;
    for (int i = 0; i < EncoderSettings::destinationCount; ++i) {
        const auto at = [i](ParamId first) { return static_cast<ParamId>(first + i); };
        const auto index = static_cast<std::size_t>(i);
        if (const auto* p = row<PBool>(set, at(kestrava::PARAM_KVRA_Enabled_0))) s.destinationOn[index] = p->current();
        if (const auto* p = row<PString>(set, at(kestrava::PARAM_KVRA_IP_0))) copyText(s.destinationHost[index], p->current());
        if (const auto* p = row<PDec>(set, at(kestrava::PARAM_KVRA_Port_0))) {
            s.destinationPort[index] = static_cast<std::int32_t>(p->current());
        }
        if (const auto* p = row<PEnum>(set, at(kestrava::PARAM_KVRA_Interface_0))) {
            // The automatic choice binds to no interface.
            const std::string name = p->current() == 0 ? std::string() : p->saveText(0);
            copyText(s.destinationInterface[index], name);
        }
        if (const auto* p = row<PString>(set, at(kestrava::PARAM_KVRA_NAME_0))) {
            copyText(s.destinationDescription[index], p->current());
        }
    }
}
