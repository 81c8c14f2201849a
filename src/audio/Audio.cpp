#include "audio/Audio.h"

namespace kestrava::audio {

Audio::Audio() { Audio::reset(); }

void Audio::reset() {
    resetFlag = 0;
    resetCounterA = 0;
    resetCounterB = 0;
    resetCounterC = 0;
}

void Audio::writeCircular() {
    if (blockLength <= 0 || circularLength <= 0 || circularSource == nullptr || circularBuffer == nullptr) return;
    std::int32_t index = (circularIndex >= 0 && circularIndex < circularLength) ? circularIndex : 0;
    for (std::int32_t i = 0; i < blockLength; ++i) {
        circularBuffer[index] = circularSource[i];
        if (++index == circularLength) index = 0;
    }
    circularIndex = index;
}

}  // namespace kestrava::audio
