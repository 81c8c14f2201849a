#pragma once

#include "platform/AlignedNew.h"

#include <cstdint>
#include <string_view>

namespace kestrava::audio::soundcard {

// Where the filter reports an out-of-range input: the process-wide error state and its text
// (state 1, "TILT: GOT NAN INPUT."). Called on the audio callback thread, so it must not block.
using TiltErrorRecorder = void (*)(std::int32_t state, std::string_view text);

// Tilt correction of the sound-card input. An RC high-pass in front of the card makes flat parts
// of the composite signal sag; each section adds back a leaky running sum of its input
//   out = in + pole * s;  s = gain * in + pole * s
// with pole = 1 - leak * d and gain = +-d, which undoes a first-order high-pass of the configured
// time constant. The owner sets sampleRate and rc and runs updateCoefficients() before the first
// sample, and again whenever rc changes. One user thread.
class Tilt : public kestrava::AlignedNew {
public:
    static constexpr std::int32_t nanErrorState = 1;
    static constexpr std::string_view nanErrorText = "TILT: GOT NAN INPUT.";

    Tilt() { init(); }

    // Every field with a default takes it, the states included; the coefficients stay as they are.
    void init();
    // Sanitises the states, then recomputes the corner and both sections.
    void updateCoefficients();
    void updateCorner();
    // One sample of the first channel. Inputs that are NaN or beyond +-4e9 give 0 and are reported.
    float process(float x);

    float sampleRate = 192000.0f;  // Hz
    float rc = 5.0f;               // seconds; magnitudes above 4.5 switch the section off
    float corner = 5.0f;           // signed time constant of the first section
    float rc2 = 5.0f;              // the second time constant, when not linked to rc
    bool linkRc2 = true;
    float leak = 0.5f;             // above 0.99 each section runs twice with its time constant doubled
    double states[8] = {};         // section s, pass p uses entry 4s + 2p
    double pole1 = 1.0;
    double gain1 = 0.0;
    double pole2 = 0.0;
    double gain2 = 0.0;
    float singleStates[2] = {};
    float poleSingle = 0.0f;
    float gainSingle = 0.0f;
    bool singleSection = true;     // first section off, second off or single pass: float path

    TiltErrorRecorder errorRecorder = nullptr;

private:
    bool twoPasses() const { return static_cast<double>(leak) > 0.99; }
    void reportNan();
};

}  // namespace kestrava::audio::soundcard
