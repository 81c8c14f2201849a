#pragma once

#include "codec/ChannelHistory.h"
#include "codec/TaperBank.h"

#include <cstdint>

namespace kestrava::codec {

struct CodecKernels;

// Third-channel predictor state of the double generation: 5 taps, re-derived before every sample from
// the newest min(fillCount, 64) reconstructions (ring of 64 slots), with Hamming edges of
// min(n/2, 11) samples. The coder predicts with coefTable[5][1..5], clamped to +-predictionLimit.
// update() depends on the ring alone; its operation order is part of the coded stream.
struct alignas(64) BackwardLpc5 {
    static constexpr std::uint32_t ringLength = 64;
    static constexpr int order = 5;
    static constexpr int guard = 16;

    BackwardLpc5();

    void update(const ChannelHistory<double>& history);
    void update(const ChannelHistory<double>& history, const CodecKernels& kernels);

    // Frame positions -16..79: 16 zero guards, the 64 analysis entries, 16 zeros for the rising pass.
    double analysisFrame[guard + ringLength + guard];
    double coefTable[order + 1][order + 1];
    double predictionLimit;
    std::int32_t historyScale;  // set, not read: the reset clears the third channel instead
    alignas(64) double taperTable[taperRows][taperColumns];
};

}  // namespace kestrava::codec
