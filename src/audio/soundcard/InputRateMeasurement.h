#pragma once

#include "audio/soundcard/RateSmoother.h"

#include <cstdint>

namespace KestravaLogger {
class Logger;
}

// The real input sample rate, measured over windows of `sampleRate` frames (one nominal second)
// into two cascaded harmonic smoothers; the second one's value is the measured rate the encoder
// reads. Windows shorter than 0.5 s or longer than 1.5 s (a clock jump, a gap, a burst) are
// discarded with a warning. Written by the audio callback thread only.
struct InputRateMeasurement {
    // Seeds the smoothers as the audio source does at construction: the first holds the nominal
    // rate for 10 accepted windows, the second starts empty.
    InputRateMeasurement(std::uint32_t sampleRate, std::int64_t startNs);

    // One block of frames that arrived at `stampNs` (steady clock); completes a window when it
    // brings the count to `sampleRate` frames or more.
    void addBlock(std::uint32_t frames, std::int64_t stampNs, KestravaLogger::Logger& logger);

    // The measured rate in frames per second (0 until the second smoother has a weight).
    double measuredRate() const { return smoothers[1].value(); }

    std::uint32_t sampleRate;
    std::int64_t windowStartNs;
    double windowFrames = 0.0;
    RateSmoother smoothers[2];
};
