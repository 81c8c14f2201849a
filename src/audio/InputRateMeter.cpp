#include "audio/InputRateMeter.h"

namespace kestrava::audio {

InputRateMeter::InputRateMeter(std::uint32_t sampleRate_, std::int64_t startNs)
    : sampleRate(sampleRate_), windowStart(startNs) {
    reseed();
}

void InputRateMeter::reseed() {
    average.seedRate(static_cast<double>(sampleRate));
    averageSlow.clear();
    publish();
}

void InputRateMeter::publish() {
    published.store(average.value(), std::memory_order_relaxed);
    publishedSlow.store(averageSlow.value(), std::memory_order_relaxed);
}

void InputRateMeter::requestReseed() { reseedRequested.store(true, std::memory_order_release); }

void InputRateMeter::addFrames(std::uint32_t frames, std::int64_t callbackNs, KestravaLogger::Logger& logger) {
    if (reseedRequested.exchange(false, std::memory_order_acquire)) reseed();
    if (sampleRate == 0) return;
    windowFrames += frames;
    if (windowFrames < sampleRate) return;
    const double seconds = static_cast<double>(callbackNs - windowStart) * 1e-9;
    if (seconds < 0.5 || seconds > 1.5) {
        logger.log(1, KestravaLogger::Warning,
                   "System time offset detected, time difference is {} in sample rate measurement", seconds);
    } else {
        average.add(windowFrames / seconds);
        averageSlow.add(average.value());
        publish();
    }
    windowStart = callbackNs;
    windowFrames = 0.0;
}

}  // namespace kestrava::audio
