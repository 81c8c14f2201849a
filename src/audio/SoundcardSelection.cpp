#include "audio/SoundcardSelection.h"

#include "audio/SoundcardStreamControl.h"
#include "logging/KestravaInstanceConfig.h"

namespace kestrava::audio {

using kestrava::transport::TRPSender;

void selectSoundcard(std::unique_ptr<AudioSource>& source, std::int32_t index, TRPSender* sender,
                     KestravaInstanceConfig* config, const SoundcardSourceFactory& makeSource) {
    if (!source) {
        if (makeSource) source = makeSource(sender, index, config);
        return;
    }
    SoundcardStreamControl* stream = source->soundcardStream();
    if (stream == nullptr) {
        config->logger.log(1, KestravaLogger::Critical,
                           "Attempt to change audio source mode not allowed for soundcard audio source");
        return;
    }
    config->logger.log(1, KestravaLogger::Info, "Changing soundcard to index {}", index);
    stream->requestDevice(index);
    if (stream->isActive() && !stream->workerRunning()) stream->start();
}

}  // namespace kestrava::audio
