#pragma once

#include "codec/ChannelHistory.h"
#include "codec/TaperBank.h"

#include <cstdint>

namespace kestrava::codec {

struct CodecKernels;

// Main-channel predictor state of the double generation (codec versions 1 and 2): 15 taps,
// re-derived before every sample from the newest min(fillCount, 128) reconstructions of the
// channel (ring of 128 slots). The coder predicts with coefTable[15][1..15], tap i weighting the
// sample i places back, clamped to +-predictionLimit. update() depends on the ring alone, never on
// what an earlier call left here; its operation order is part of the coded stream.
struct alignas(64) BackwardLpc16 {
    static constexpr std::uint32_t ringLength = 128;
    static constexpr int order = 15;
    static constexpr int guard = 16;

    BackwardLpc16();

    void update(const ChannelHistory<double>& history);
    // The same with an explicit kernel build (tests and benchmarks compare builds).
    void update(const ChannelHistory<double>& history, const CodecKernels& kernels);

    // Frame positions -16..143: 16 zero guards, the 128-sample frame, 16 zeros that the rising taper
    // pass may run into when fewer than 16 samples exist.
    double analysisFrame[guard + ringLength + guard];
    // coefTable[m][1..m]: the order-m predictor (m = 1..15); row 0 and column 0 stay 0.
    double coefTable[order + 1][order + 1];
    double predictionLimit;
    std::int32_t historyScale;
    alignas(64) double taperTable[taperRows][taperColumns];
};

}  // namespace kestrava::codec
