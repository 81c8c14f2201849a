#include "audio/soundcard/InputRateMeasurement.h"

#include "logging/Logger.h"

InputRateMeasurement::InputRateMeasurement(std::uint32_t sampleRate_, std::int64_t startNs)
    : sampleRate(sampleRate_), windowStartNs(startNs) {
    smoothers[0] = {true, 0.999, 0.001, 1.0, 1.0 / static_cast<double>(sampleRate_), 10};
    smoothers[1] = {true, 0.9999, 0.0001, 0.0, 0.0, 0};
}

void InputRateMeasurement::addBlock(std::uint32_t frames, std::int64_t stampNs, KestravaLogger::Logger& logger) {
    windowFrames += static_cast<double>(frames);
    if (windowFrames < static_cast<double>(sampleRate)) return;
    const double seconds = static_cast<double>(stampNs - windowStartNs) / 1e9;
    if (seconds < 0.5 || seconds > 1.5) {
        logger.log(1, KestravaLogger::Warning,
                   "System time offset detected, time difference is {} in sample rate measurement", seconds);
    } else {
        smoothers[0].update(windowFrames / seconds);
        smoothers[1].update(smoothers[0].value());
    }
    windowStartNs = stampNs;
    windowFrames = 0.0;
}
