#include "audio/soundcard/AudioCallbackProvider.h"

namespace kestrava::audio::soundcard {

AudioCallbackProvider::AudioCallbackProvider(const SteadyClock& clock_, std::int32_t channelCount_,
                                             std::uint32_t sampleRate_)
    : channelCount(channelCount_), sampleRate(sampleRate_), clock(clock_), lastCallbackNs(clock_.nowNs()) {}

void AudioCallbackProvider::deliver() {
    lastCallbackNs.store(clock.nowNs());
    statusError.store(false, std::memory_order_relaxed);
    firstCallbackPending.store(false, std::memory_order_relaxed);
}

}  // namespace kestrava::audio::soundcard
