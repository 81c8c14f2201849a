#pragma once

#include "audio/ExponentialAverage.h"
#include "logging/Logger.h"

#include <atomic>
#include <cstdint>

namespace kestrava::audio {

// The measured input sample rate of an audio source: frames counted per window of one nominal
// second of input, timed by the audio callback's steady-clock stamps, through two reciprocal
// averages (fast, then slow). The callback thread is the only one that works the averages; the
// encode step reads the published values and asks for a re-seed, which the next callback does.
class InputRateMeter {
public:
    InputRateMeter(std::uint32_t sampleRate, std::int64_t startNs);

    // Audio callback thread: counts `frames` at the callback's time stamp. Once the window holds
    // sampleRate frames it is measured: a window of 0.5 s to 1.5 s feeds the averages, any other
    // is logged and dropped; either way a new window starts at the stamp.
    void addFrames(std::uint32_t frames, std::int64_t callbackNs, KestravaLogger::Logger& logger);
    // Encode step: both averages start over at the next callback (fast seeded at the nominal rate).
    void requestReseed();

    double fastRate() const { return published.load(std::memory_order_relaxed); }
    double slowRate() const { return publishedSlow.load(std::memory_order_relaxed); }

private:
    void reseed();
    void publish();

    const std::uint32_t sampleRate;
    std::int64_t windowStart;
    double windowFrames = 0.0;
    ExponentialAverage average{true, 0.999, 0.001};
    ExponentialAverage averageSlow{true, 0.9999, 0.0001};
    std::atomic<bool> reseedRequested{false};
    std::atomic<double> published{0.0};
    std::atomic<double> publishedSlow{0.0};
};

}  // namespace kestrava::audio
