#pragma once

#include "platform/AlignedNew.h"

#include <cstdint>

namespace kestrava::audio {

// Base of the sample-processing objects (input tilt filter, sample histories, spectrum
// analysers): default analyser sizes, reset counters and a circular copy. Allocated 64-byte
// aligned. Analysers overwrite the sizes with their own; histories and the tilt filter leave them.
class Audio : public kestrava::AlignedNew {
public:
    Audio();
    virtual ~Audio() = default;
    Audio(const Audio&) = delete;
    Audio& operator=(const Audio&) = delete;

    // Clears the reset flag and the three reset counters.
    virtual void reset();
    // Configuration hook of the analysers (nine words); nothing in the base.
    virtual void configure(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                           std::int32_t, std::int32_t, std::int32_t) {}
    // Copies blockLength values from circularSource into circularBuffer from circularIndex on,
    // wrapping at circularLength; circularIndex is left after the last value written. Does
    // nothing for blockLength <= 0, missing buffers or circularLength <= 0.
    virtual void writeCircular();

    std::int32_t analysisLength = 14272;  // 2 x fftLength for an analyser
    std::int32_t analysisStep = 12288;    // 2 x (fftLength - 2 x windowLength)
    std::int32_t blockLength = 14336;     // 2 x (fftLength - windowLength): values per writeCircular
    std::int32_t auxWord = 0;
    std::uint8_t auxFlagA = 0;
    std::uint8_t auxFlagB = 0;
    std::int32_t resetCounterA = 0;
    std::int32_t resetCounterB = 0;
    std::int32_t fftOrder = 13;
    std::uint8_t auxFlagC = 0;
    std::int32_t fftLength = 8192;
    std::int32_t windowLength = 1024;  // halfLength / 4
    std::int32_t fftMask = 8191;
    std::int32_t halfLength = 4096;
    std::int32_t halfMask = 4095;
    std::int32_t circularLength = 14338;  // blockLength + 2
    std::uint8_t resetFlag = 0;
    std::int32_t resetCounterC = 0;
    const float* circularSource = nullptr;
    float* circularBuffer = nullptr;
    std::int32_t circularIndex = 0;
    std::int32_t circularSpan = 14337;  // blockLength + 1
    std::int32_t auxWords[3] = {};
};

}  // namespace kestrava::audio
