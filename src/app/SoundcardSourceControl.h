#pragma once

#include "app/AudioSourceControl.h"

#include <cstdint>
#include <memory>
#include <mutex>

class KestravaInstanceConfig;
class SoundcardAudioSource;

// The controller's hold on the sound-card audio source. Start and stop come from the controller
// thread, a device change from the thread that applies the settings: one mutex keeps them apart,
// as each of them may start or stop the stream's worker.
class SoundcardSourceControl final : public AudioSourceControl {
public:
    SoundcardSourceControl(KestravaInstanceConfig& config, std::unique_ptr<SoundcardAudioSource> source);
    // Stops the source, then takes it down (stream, demodulator thread, feed thread).
    ~SoundcardSourceControl() override;

    void start() override;
    void stop() override;
    bool isSoundcardSource() const override { return true; }
    // Reopens the stream on the device (the same index too); an active stream whose worker has
    // ended is started again.
    void changeSoundcard(std::int32_t index) override;
    // Any mode other than 0: after four failed opens, ask the controller to stop instead of
    // re-initialising the audio library.
    void setFailureMode(std::uint8_t mode) override;

    SoundcardAudioSource& source() { return *audio; }

private:
    KestravaInstanceConfig& config;
    std::mutex mutex;
    std::unique_ptr<SoundcardAudioSource> audio;
};
