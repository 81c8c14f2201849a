#pragma once

#include <cstdint>

// The controller's view of the encoder's input: the sound-card audio source that delivers and
// encodes one block at a time and sends the frames through the controller's sender.
class AudioSourceControl {
public:
    virtual ~AudioSourceControl() = default;

    // Begin delivering and encoding blocks; stop doing so.
    virtual void start() = 0;
    virtual void stop() = 0;
    // A sound-card source reopens its stream on another device; other sources refuse.
    virtual bool isSoundcardSource() const = 0;
    virtual void changeSoundcard(std::int32_t index) = 0;
    // What the source does when the sound card fails; its meaning is the sound-card part's.
    virtual void setFailureMode(std::uint8_t mode) = 0;
};
