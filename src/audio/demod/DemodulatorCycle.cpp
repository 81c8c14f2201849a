#include "audio/demod/DemodulatorCycle.h"

#include "audio/AudioSource.h"
#include "audio/demod/MPXD.h"

#include <algorithm>
#include <cmath>

namespace kestrava::audio::demod {

using kestrava::audio::AudioSource;
using kestrava::audio::DemodulatedSample;

namespace {
constexpr float fullPilotLevel = 0.18f;
}

float ratioOfPilotLevel(float level) {
    if (std::isnan(level)) return 1.0f;
    return std::min(level / fullPilotLevel, 1.0f);
}

bool runDemodulatorCycle(MPXD& demodulator, DemodulatedSample* records, AudioSource& target) {
    if (demodulator.inputBuffer().available() < MPXD::frameLength) return false;
    const std::uint32_t n = demodulator.readOutput(records, MPXD::hop);
    if (!target.writeInput(records, n)) demodulator.reset();

    const float level = std::sqrt(2.0f * demodulator.pilotMeanSquare());
    target.signals.demodulatorFlag.store(demodulator.rdsQuadrature(), std::memory_order_relaxed);
    target.config->values.demodulatorLevel.store(level, std::memory_order_relaxed);
    target.signals.pilotLevelRatio.store(ratioOfPilotLevel(level), std::memory_order_relaxed);
    return true;
}

}  // namespace kestrava::audio::demod
