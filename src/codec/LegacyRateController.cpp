#include "codec/LegacyRateController.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrava::codec {

void LegacyRateController::update(EncoderState<double>& state, std::uint64_t durationUs, std::uint32_t bytesSent,
                                  float energy, std::uint32_t sampleCount) {
    const std::int64_t rate = state.targetRate;
    const auto budget = static_cast<std::uint32_t>(static_cast<std::int64_t>(durationUs) * rate / 1000);
    if (budget == 0) return;
    const std::uint32_t used = bytesSent * 8u;
    const std::int64_t reservoir = std::max<std::int64_t>(-10 * rate, std::int64_t{state.reservoir} + used - budget);
    state.reservoir = static_cast<std::int32_t>(
        std::min<std::int64_t>(reservoir, std::numeric_limits<std::int32_t>::max()));
    std::int64_t effective = std::max<std::int64_t>(std::int64_t{used} + state.reservoir, 0);
    effective = std::max<std::int64_t>(effective, 3 * (used / 4));
    const double r = static_cast<double>(effective) / static_cast<double>(budget);
    const float level = std::sqrt(energy / static_cast<float>(std::max<std::uint32_t>(sampleCount, 1)));
    for (int c = 0; c < 2; ++c) {
        double& s = state.rateStates[c].stepFactor;
        if (effective >= budget) {
            s = 0.5 * s + 0.5 * (s + 2.0 * (r - 1.0));
        } else if (static_cast<double>(level) >= 0.0001) {
            s = std::max(0.0, 0.5 * s + 0.5 * (s - (1.0 - r)));
        }
    }
}

}  // namespace kestrava::codec
