#include "audio/soundcard/JitterCorrectedSoundcardStream.h"

#include "logging/KestravaInstanceConfig.h"

#include <algorithm>
#include <cmath>

namespace kestrava::audio::soundcard {

using kestrava::audio::ExponentialAverage;

namespace {

constexpr double rateTolerance = 0.0001;

// Rate samples in frames per second, averaged harmonically over about 1000 buffers; timing errors
// in seconds (either sign), averaged plainly over about 100.
ExponentialAverage rateSmoother() { return ExponentialAverage(true, 0.999, 0.001); }
ExponentialAverage errorSmoother() { return ExponentialAverage(false, 0.99, 0.01); }

}  // namespace

JitterCorrectedSoundcardStream::JitterCorrectedSoundcardStream(KestravaInstanceConfig& config_,
                                                               PortaudioWrapper& wrapper_, std::int32_t deviceIndex_,
                                                               const SteadyClock& clock_)
    : PortAudioSoundcardStream(config_, wrapper_, deviceIndex_, clock_),
      outputErrorSmoother(errorSmoother()),
      inputErrorSmoother(errorSmoother()),
      outputRateSmoother(rateSmoother()),
      inputRateSmoother(rateSmoother()),
      reportConfig(&config_) {}

JitterCorrectedSoundcardStream::~JitterCorrectedSoundcardStream() { stop(); }

bool JitterCorrectedSoundcardStream::updateSide(Side side, bool firstCallback, double frames, double stamp,
                                                double& rateOut) {
    const double nominal = static_cast<double>(sampleRate);
    double sample;
    if (firstCallback) {
        side.expected = stamp - frames / nominal;
        sample = nominal;
    } else {
        sample = frames / std::max(stamp - side.last, 0.000001);
    }
    if (frames > 0.0) {
        side.rate.add(sample);
        side.last = stamp;
    }
    const double rate = side.rate.value();
    rateOut = rate;
    if (!(rate > 1.0)) return false;
    const double expected = frames / rate + side.expected;
    const double error = stamp - expected;
    side.corrected = side.error.value() + expected;
    side.error.add(error);
    side.expected = expected;
    return true;
}

int JitterCorrectedSoundcardStream::onAudio(const float* input, float* output, std::uint32_t frameCount,
                                            const PaStreamCallbackTimeInfo* timeInfo,
                                            PaStreamCallbackFlags statusFlags) {
    const bool firstCallback = firstCallbackPending.load(std::memory_order_relaxed);
    deliver();
    reportStatusBits(statusFlags, timeInfo);
    if (timeInfo == nullptr) return paContinue;
    const double frames = static_cast<double>(frameCount);
    const double nominal = static_cast<double>(sampleRate);
    double rate = 0.0;
    if (output != nullptr &&
        updateSide({outputRateSmoother, outputErrorSmoother, lastOutputTime, expectedOutputTime, correctedOutputTime},
                   firstCallback, frames, timeInfo->outputBufferDacTime, rate)) {
        outputRateDeviates = std::fabs(rate - nominal) > rateTolerance && outputRateSmoother.weight > 0.1;
    }
    if (input != nullptr &&
        updateSide({inputRateSmoother, inputErrorSmoother, lastInputTime, expectedInputTime, correctedInputTime},
                   firstCallback, frames, timeInfo->inputBufferAdcTime, rate)) {
        if (std::fabs(rate - nominal) > rateTolerance) {
            if (!inputRateDeviates) {
                reportConfig->logger.log(1, KestravaLogger::Critical,
                                         "Input sample rate deviates too much, measured rate is {}Hz instead of {}Hz",
                                         rate, sampleRate);
                inputRateDeviates = true;
            }
        } else if (inputRateDeviates) {
            reportConfig->logger.log(1, KestravaLogger::Info, "Measured sample rate is now {}Hz, this is OK", rate);
            inputRateDeviates = false;
        }
    }
    return paContinue;
}

}  // namespace kestrava::audio::soundcard
