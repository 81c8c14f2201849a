#include "LegacyRateControl.h"

#include <algorithm>
#include <cmath>

namespace streamdecoder {

void LegacyRateControl::update(std::uint64_t durationMicros, std::uint32_t bytesCharged, float energy,
                               std::uint32_t codeCount, std::array<double, 2>& stepFactors) {
    const auto budget = static_cast<std::uint32_t>(static_cast<std::int64_t>(durationMicros) * bitRate_ / 1000);
    const std::uint32_t used = bytesCharged * 8u;
    // 32-bit signed arithmetic, wrapping as the coder's does.
    const auto carried = static_cast<std::int32_t>(static_cast<std::uint32_t>(reservoir_) + used - budget);
    reservoir_ = std::max(-10 * bitRate_, carried);
    // Credit lowers a frame's effective use by at most a quarter of what it used.
    const auto withCredit = static_cast<std::int32_t>(used + static_cast<std::uint32_t>(reservoir_));
    const std::uint32_t effective = std::max(static_cast<std::uint32_t>(std::max(withCredit, 0)), 3u * (used / 4u));
    const double r = static_cast<double>(effective) / static_cast<double>(budget);
    const float level = std::sqrt(energy / static_cast<float>(codeCount));
    for (double& s : stepFactors) {
        if (effective >= budget) {
            s = 0.5 * s + 0.5 * (s + 2.0 * (r - 1.0));
        } else if (static_cast<double>(level) >= 0.0001) {
            s = std::max(0.0, 0.5 * s + 0.5 * (s - (1.0 - r)));
        }
    }
}

}  // namespace streamdecoder
