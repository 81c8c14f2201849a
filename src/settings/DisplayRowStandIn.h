#pragma once

#include "params/ValueParam.h"

#include <string>
#include <string_view>

namespace kestrava::settings {

// Holds the place of a waveform (kind 17) or spectrum (kind 19) display row until the display
// classes exist: it carries the row's identity, keys, persistence and time-span value so that
// creation order, the settings file and the walks already see the row as it will be, but it
// draws nothing.
class DisplayRowStandIn : public params::ValueParam<float> {
public:
    static constexpr int waveKind = 17;
    static constexpr int spectrumKind = 19;

    DisplayRowStandIn(params::ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, float timeSpan,
                      const params::ShortKey& shortKey, const params::NamePair& section,
                      const params::NamePair& key);

    std::string formatValue(int view, const float& v) const override;
    float parseText(int index, std::string_view text) const override;
    float valueFromSliderPosition(int view, float position) const override;
    bool isKindSupported() const override { return kind() == waveKind || kind() == spectrumKind; }
    std::string saveText(int index) const override;
};

}  // namespace kestrava::settings
