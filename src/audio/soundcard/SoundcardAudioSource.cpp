#include "audio/soundcard/SoundcardAudioSource.h"

#include "audio/SampleHook.h"
#include "codec/frame/FrameEncodeStep.h"
#include "logging/KestravaInstanceConfig.h"

#include <memory>

namespace {

std::unique_ptr<EncodeStep> makeEncodeStep(KestravaInstanceConfig* config, FrameSender* frames) {
    if (frames == nullptr) return nullptr;
    // A failed allocation has been reported; the source then drains its input without coding.
    return std::unique_ptr<EncodeStep>(new FrameEncodeStep(config, frames));
}

}  // namespace

SoundcardAudioSource::SoundcardAudioSource(TRPSender* sender, FrameSender* frames, std::int32_t deviceIndex,
                                           KestravaInstanceConfig* config_, PortaudioWrapper& wrapper)
    : DemodulatingAudioSource(sender, config_, makeEncodeStep(config_, frames)),
      stream(*config_, wrapper, deviceIndex, *this, rateMeter) {
    soundcardSourceFlag.store(true, std::memory_order_release);
}

SoundcardAudioSource::~SoundcardAudioSource() {
    // No callback may reach the input stage while the demodulator and the ring go away.
    stream.stop();
}

void SoundcardAudioSource::Stream::pushRawBlock(const float* block, std::uint32_t count) {
    pushToHook(config.sampleHooks[0], block, static_cast<std::int32_t>(count));
}
