#pragma once

#include <cstdint>

namespace kestrava::audio {

// Where the sound-card callback hands its chunks: the input stage of the demodulating audio
// source. Called on the audio callback thread with at most 1024 samples; it may scale the chunk
// in place. It must not allocate or block.
class SoundcardInputStage {
public:
    virtual void feedInput(float* samples, std::uint32_t count) = 0;

protected:
    ~SoundcardInputStage() = default;
};

}  // namespace kestrava::audio
