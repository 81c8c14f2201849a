#pragma once

#include <cstdint>

namespace kestrava::audio::demod {

// The second-order phase-locked loop that follows the 19 kHz pilot sample by sample.
// Phase detector: the angle between the analytic form of the previous pilot-band sample (its
// three-sample central difference gives the quadrature part) and the loop phase; loop filter:
// proportional plus integral, the frequency held between 18,800 and 19,200 Hz; gains scaled down
// below a mean square of 1e-4, and the frequency drawn back to 19 kHz below 1e-7.
// In lock the pilot-band signal is A·sin(2π·p), p the loop phase in cycles.
//
// All arithmetic is single precision, one operation at a time in a fixed order: the decoder
// side regenerates its carriers from the phases this loop emits.
struct PilotTracker {
    static constexpr float initialMeanSquare = 0.00405f;  // a sine of amplitude 0.09

    // The rate-dependent constants (rate in Hz); the frequency restarts from the nominal one.
    // Phase, delays and mean square carry on.
    void setSampleRate(std::uint32_t rate);

    // Runs the loop over n samples in order. samples[i] is replaced by the phase (cycles, [0, 1))
    // the loop predicts for sample i + 1; phases[i] receives the loop phase of sample i.
    // At the end the state is stored back: a phase or frequency that is not finite, or of
    // magnitude 4e27 or more, becomes 0; a mean square that is not finite goes back to its
    // initial value and the delays are cleared, so that one bad sample is forgotten.
    void track(float* samples, float* phases, std::uint32_t n);

    float pilotPhaseGain = 0.01f;
    float pilotIncrementGain = 0.00005f;
    float inverseTwoPi = 0.15915494f;
    float pilotMinIncrement = 0.0f;      // radians per sample
    float pilotMaxIncrement = 0.0f;
    float pilotPhase = 0.0f;             // radians, loop phase after the last sample
    float pilotIncrement = 0.0f;         // radians per sample
    float pilotNominalIncrement = 0.0f;
    float pilotInverseTwoSine = 0.0f;    // 1 / (2 sin nominal increment)
    float pilotDelay2 = 0.0f;            // the sample two before the next one
    float pilotDelay1 = 0.0f;            // the sample just before the next one
    float pilotMeanSquare = initialMeanSquare;
};

}  // namespace kestrava::audio::demod
