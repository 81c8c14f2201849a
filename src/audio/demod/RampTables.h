#pragma once

#include <cstddef>

namespace kestrava::audio::demod {

// The two windows of the demodulator's frames (4096 samples, hop 3072, overlap 1024).
// analysisWindow tapers a frame before its forward transform; synthesisWindow tapers every band
// signal before its overlap-add. Their product C rises over entries 0..1023, is 1.0 over
// 1024..3071 and falls over 3072..4095 with C[n] + C[n + 3072] = 1, so overlapping frames add
// up to unit gain. Both windows are exactly 1.0 over 1024..3071; readers touch only the flanks.
struct RampTables {
    static constexpr std::size_t length = 4096;
    static constexpr std::size_t flank = 1024;

    // Builds both windows; they never change afterwards.
    RampTables();

    alignas(64) float analysisWindow[length];
    alignas(64) float synthesisWindow[length];
};

}  // namespace kestrava::audio::demod
