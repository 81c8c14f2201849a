#include "audio/demod/PilotTracker.h"

#include <cmath>

namespace kestrava::audio::demod {

namespace {

constexpr float pi = 3.14159265358979f;
constexpr float twoPi = 6.28318530717959f;

// min(1, v) as the loop defines it: a value that is not a number stays one.
float atMostOne(float v) { return 1.0f < v ? 1.0f : v; }

// Brings a value of [0, 2) into [0, 1).
float wrapCycle(float v) { return v >= 1.0f ? v - 1.0f : v; }

float keepIfInRange(float v) { return (v > -4e27f && v < 4e27f) ? v : 0.0f; }

}  // namespace

void PilotTracker::setSampleRate(std::uint32_t rate) {
    const float fs = static_cast<float>(rate);
    pilotMinIncrement = (18800.0f / fs) * twoPi;
    pilotMaxIncrement = (19200.0f / fs) * twoPi;
    pilotNominalIncrement = (19000.0f / fs) * twoPi;
    pilotIncrement = pilotNominalIncrement;
    pilotInverseTwoSine = 1.0f / (2.0f * std::sin(pilotNominalIncrement));
}

void PilotTracker::track(float* samples, float* phases, std::uint32_t n) {
    float theta = pilotPhase;
    float omega = pilotIncrement;
    float level = pilotMeanSquare;
    float x1 = pilotDelay1;
    float x2 = pilotDelay2;
    for (std::uint32_t i = 0; i < n; ++i) {
        const float x = samples[i];
        // Analytic form of the previous sample: re = A cos, im = A sin of its phase.
        const float re = (x - x2) * pilotInverseTwoSine;
        const float im = x1;
        const float c = std::cos(theta);
        const float s = std::sin(theta);
        const float error = std::atan2(im * c - re * s, re * c + im * s);

        const float leak = (1.0f - atMostOne(level / 1e-7f)) * 0.001f;
        const float gain = atMostOne(level / 1e-4f);
        const float target = (omega * (1.0f - leak) + leak * pilotNominalIncrement) + (gain * pilotIncrementGain) * error;
        const float bounded = pilotMaxIncrement < target ? pilotMaxIncrement : target;
        omega = bounded > pilotMinIncrement ? bounded : pilotMinIncrement;  // a NaN ends at the minimum

        theta = (theta + (pilotPhaseGain * gain) * error) + omega;
        if (theta < -pi) theta = twoPi + theta;
        if (theta > pi) theta = theta - twoPi;

        level = level * 0.9999f + (x * x) * 0.0001f;
        phases[i] = wrapCycle((theta + pi) * inverseTwoPi + 0.5f);
        samples[i] = wrapCycle(((theta + omega) + pi) * inverseTwoPi + 0.5f);
        x2 = x1;
        x1 = x;
    }
    pilotDelay1 = x1;
    pilotDelay2 = x2;
    pilotPhase = keepIfInRange(theta);
    pilotIncrement = keepIfInRange(omega);
    pilotMeanSquare = level;
    if (!std::isfinite(level)) {
        pilotMeanSquare = initialMeanSquare;
        pilotDelay1 = 0.0f;
        pilotDelay2 = 0.0f;
    }
}

}  // namespace kestrava::audio::demod
