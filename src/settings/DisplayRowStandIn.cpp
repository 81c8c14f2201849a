#include "settings/DisplayRowStandIn.h"

#include <cstdio>
#include <cstdlib>

namespace kestrava::settings {

DisplayRowStandIn::DisplayRowStandIn(params::ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind,
                                     float timeSpan, const params::ShortKey& shortKey,
                                     const params::NamePair& section, const params::NamePair& key)
    : params::ValueParam<float>(owner, viewMask, id, kind, "", shortKey, section, key) {
    storeDefaultEverywhere(timeSpan);
    if (kind == spectrumKind) setEditable(false);
}

std::string DisplayRowStandIn::formatValue(int, const float& v) const {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(v));
    return text;
}

float DisplayRowStandIn::parseText(int, std::string_view text) const {
    const std::string s(text.substr(0, std::min<std::size_t>(text.size(), 63)));
    return std::strtof(s.c_str(), nullptr);
}

float DisplayRowStandIn::valueFromSliderPosition(int, float) const { return current(); }

// The time span, as the display row will save it (the store skips rows that are not persistent).
std::string DisplayRowStandIn::saveText(int) const { return formatValue(-1, current()); }

}  // namespace kestrava::settings
