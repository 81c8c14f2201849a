#pragma once

#include "audio/soundcard/PortAudioSoundcardStream.h"
#include "audio/ExponentialAverage.h"

namespace kestrava::audio::soundcard {

// A sound-card stream whose callback also estimates the real rate of the input and the output
// side from the library's buffer time stamps, and from that estimate a corrected, low-jitter time
// for every buffer: the expected time advances by each buffer's duration at the estimated rate,
// and the corrected time is that prediction plus the averaged deviation of the real stamps. It
// warns once when the input rate is more than 0.0001 Hz off the nominal rate and once when it is
// back. All fields are written on the callback thread only.
class JitterCorrectedSoundcardStream : public PortAudioSoundcardStream {
public:
    JitterCorrectedSoundcardStream(KestravaInstanceConfig& config, PortaudioWrapper& wrapper, std::int32_t deviceIndex,
                                   const SteadyClock& clock = realSteadyClock());
    ~JitterCorrectedSoundcardStream() override;

    // Returns paContinue in every case.
    int onAudio(const float* input, float* output, std::uint32_t frameCount, const PaStreamCallbackTimeInfo* timeInfo,
                PaStreamCallbackFlags statusFlags) override;

    double correctedOutputTime = 0.0;
    double correctedInputTime = 0.0;
    kestrava::audio::ExponentialAverage outputErrorSmoother;
    kestrava::audio::ExponentialAverage inputErrorSmoother;
    kestrava::audio::ExponentialAverage outputRateSmoother;
    kestrava::audio::ExponentialAverage inputRateSmoother;
    KestravaInstanceConfig* reportConfig;
    double lastOutputTime = 0.0;
    double lastInputTime = 0.0;
    double expectedOutputTime = 0.0;
    double expectedInputTime = 0.0;
    bool inputRateDeviates = false;
    bool outputRateDeviates = false;

private:
    struct Side {
        kestrava::audio::ExponentialAverage& rate;
        kestrava::audio::ExponentialAverage& error;
        double& last;
        double& expected;
        double& corrected;
    };
    // Runs the estimate for one side; false when the rate estimate is not above 1.0 yet.
    bool updateSide(Side side, bool firstCallback, double frames, double stamp, double& rateOut);
};

}  // namespace kestrava::audio::soundcard
