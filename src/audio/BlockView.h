#pragma once

#include "audio/DemodulatedSample.h"
#include "audio/InputRateMeter.h"

#include <atomic>
#include <cstdint>

namespace kestrava::audio {

// What a source's demodulator side, its encode step and the displays share, each value written
// by one side and read by the others.
struct SourceSignals {
    std::atomic<float> pilotLevelRatio{0.0f};      // demodulator: pilot amplitude of a full pilot
    std::atomic<bool> demodulatorFlag{false};      // demodulator: RDS phase in quadrature
    std::atomic<bool> soundcardSourceFlag{false};  // frame flag 0x02
    std::atomic<float> rdsLevel{0.0f};             // encode step: measured RDS level, 0..1
    std::atomic<bool> forceReset{true};            // the next block carries a reset packet
};

// One claimed block as the encode step sees it: the records, already taken out of the source's
// ring, and the few source values the step reads or writes.
struct BlockView {
    const DemodulatedSample* records = nullptr;
    std::uint32_t count = 0;       // records in the block, at least 1
    std::uint32_t inputRate = 0;   // Hz, as the block was claimed
    InputRateMeter* rateMeter = nullptr;  // the source's measured input rate (null: none)
    bool inputWasReset = false;    // the input was reset since the previous block
    SourceSignals* signals = nullptr;
};

}  // namespace kestrava::audio
