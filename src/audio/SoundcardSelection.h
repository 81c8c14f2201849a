#pragma once

#include "audio/AudioSource.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace kestrava::transport { class TRPSender; }
class KestravaInstanceConfig;

namespace kestrava::audio {

// Builds the sound-card source (audio source with its feed thread, demodulator with its thread,
// sound-card stream) for a device index; null when the allocation failed (already reported).
using SoundcardSourceFactory =
    std::function<std::unique_ptr<AudioSource>(kestrava::transport::TRPSender* sender, std::int32_t deviceIndex, KestravaInstanceConfig* config)>;

// The controller's choice of input device. Without a source it builds one (not started: the
// controller's enable starts it); a failed allocation leaves it missing, and the next call tries
// again. A sound-card source is kept and pointed at the new device, which its stream reopens
// (the same index is reopened too); an active stream whose worker has ended is started again.
// Any other kind of source is left alone with a critical message.
void selectSoundcard(std::unique_ptr<AudioSource>& source, std::int32_t index, kestrava::transport::TRPSender* sender,
                     KestravaInstanceConfig* config, const SoundcardSourceFactory& makeSource);

}  // namespace kestrava::audio
