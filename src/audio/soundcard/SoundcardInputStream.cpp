#include "audio/soundcard/SoundcardInputStream.h"

#include "logging/KestravaInstanceConfig.h"

#include <algorithm>

namespace kestrava::audio::soundcard {

using kestrava::audio::InputRateMeter;
using kestrava::audio::SoundcardInputStage;

SoundcardInputStream::SoundcardInputStream(KestravaInstanceConfig& config_, PortaudioWrapper& wrapper_,
                                           std::int32_t deviceIndex_, SoundcardInputStage& stage_,
                                           InputRateMeter& rate_, const SteadyClock& clock_)
    : PortAudioSoundcardStream(config_, wrapper_, deviceIndex_, clock_), stage(stage_), rate(rate_) {
    tilt.rc = config.engine.tiltRc.load();
    tilt.sampleRate = static_cast<float>(config.values.inputSampleRate.load());
    tilt.updateCoefficients();
}

SoundcardInputStream::~SoundcardInputStream() { stop(); }

void SoundcardInputStream::pushRawBlock(const float*, std::uint32_t) {}

int SoundcardInputStream::onAudio(const float* input, float*, std::uint32_t frameCount,
                                  const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags statusFlags) {
    if (input == nullptr) {
        // Nothing to hand on; the stamp still tells the watchdog that the stream is alive.
        deliver();
        reportStatusBits(statusFlags, timeInfo);
        nullBlocks.fetch_add(1, std::memory_order_relaxed);
        return paContinue;
    }
    // The window is timed with the stamp of the previous callback (construction, before the first).
    rate.addFrames(frameCount, lastCallbackNs.load(), config.logger);
    deliver();
    reportStatusBits(statusFlags, timeInfo);
    pushRawBlock(input, frameCount);

    const bool tiltOn = config.engine.tiltEnabled.load(std::memory_order_relaxed);
    if (tiltOn) {
        const float configured = config.engine.tiltRc.load(std::memory_order_relaxed);
        if (!(configured == tilt.rc)) {
            tilt.rc = configured;
            tilt.updateCoefficients();
        }
    }
    const std::size_t stride = static_cast<std::size_t>(channelCount);
    for (std::uint32_t offset = 0; offset < frameCount;) {
        const std::uint32_t n = std::min(frameCount - offset, chunkSize);
        const float* source = input + static_cast<std::size_t>(offset) * stride;
        if (tiltOn) {
            for (std::uint32_t i = 0; i < n; ++i) chunk[i] = tilt.process(source[i * stride]);
        } else {
            for (std::uint32_t i = 0; i < n; ++i) chunk[i] = source[i * stride];
        }
        stage.feedInput(chunk, n);
        offset += n;
    }
    return paContinue;
}

}  // namespace kestrava::audio::soundcard
