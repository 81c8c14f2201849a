#include "app/SoundcardSourceControl.h"

#include "app/SoundcardAudioSource.h"
#include "logging/KestravaInstanceConfig.h"

using kestrava::audio::SoundcardStreamControl;

SoundcardSourceControl::SoundcardSourceControl(KestravaInstanceConfig& config_,
                                               std::unique_ptr<SoundcardAudioSource> source)
    : config(config_), audio(std::move(source)) {}

SoundcardSourceControl::~SoundcardSourceControl() {
    std::lock_guard lock(mutex);
    audio->stop();
    audio.reset();
}

void SoundcardSourceControl::start() {
    std::lock_guard lock(mutex);
    config.logger.log(1, KestravaLogger::Info, "Starting the encoder input on sound card #{}",
                      audio->inputStream().currentDeviceIndex());
    audio->start();
}

void SoundcardSourceControl::stop() {
    std::lock_guard lock(mutex);
    audio->stop();
    config.logger.log(1, KestravaLogger::Info, "Encoder input stopped");
}

void SoundcardSourceControl::changeSoundcard(std::int32_t index) {
    std::lock_guard lock(mutex);
    SoundcardStreamControl& stream = *audio->soundcardStream();
    stream.requestDevice(index);
    if (stream.isActive() && !stream.workerRunning()) stream.start();
}

void SoundcardSourceControl::setFailureMode(std::uint8_t mode) {
    std::lock_guard lock(mutex);
    audio->setExitOnOpenFailure(mode != 0);
}
