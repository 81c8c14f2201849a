#include "app/SoundcardAudioSource.h"

#include "audio/SampleHook.h"
#include "logging/KestravaInstanceConfig.h"

#include <memory>

using kestrava::audio::soundcard::PortaudioWrapper;

using kestrava::audio::demod::DemodulatingAudioSource;

using kestrava::audio::EncodeStep;
using kestrava::audio::pushToHook;

using kestrava::transport::TRPSender;

SoundcardAudioSource::SoundcardAudioSource(TRPSender* sender, std::unique_ptr<EncodeStep> step,
                                           std::int32_t deviceIndex, KestravaInstanceConfig* config_,
                                           PortaudioWrapper& wrapper)
    : DemodulatingAudioSource(sender, config_, std::move(step)),
      stream(*config_, wrapper, deviceIndex, *this, rateMeter) {
    signals.soundcardSourceFlag.store(true, std::memory_order_release);
}

SoundcardAudioSource::~SoundcardAudioSource() {
    // No callback may reach the input stage while the demodulator and the ring go away.
    stream.stop();
}

void SoundcardAudioSource::Stream::pushRawBlock(const float* block, std::uint32_t count) {
    pushToHook(config.sampleHooks[0], block, static_cast<std::int32_t>(count));
}
