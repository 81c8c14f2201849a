#pragma once

#include "codec/ChannelHistory.h"
#include "codec/TaperBank.h"

#include <cstdint>

namespace kestrava::codec {

struct CodecKernels;

// Third-channel predictor state of the float generation: 3 taps, re-derived before every sample from
// the newest min(fillCount, 32) reconstructions (ring of 32 slots) with 4-point Hamming edges
// (taperTable row 4). The coder predicts with coefTable[3][1..3], clamped to +-predictionLimit.
// update() depends on the ring alone; its operation order is part of the coded stream.
struct alignas(64) BackwardLpc3 {
    static constexpr std::uint32_t ringLength = 32;
    static constexpr int order = 3;
    static constexpr int guard = 16;

    BackwardLpc3();

    void update(const ChannelHistory<float>& history);
    void update(const ChannelHistory<float>& history, const CodecKernels& kernels);

    // Positions -16..47: 16 zero guards, the 32-entry analysis buffer, 16 spare zeros.
    float analysisFrame[guard + ringLength + guard];
    float coefTable[order + 1][order + 1];
    float predictionLimit;
    std::int32_t historyScale;  // set, not read: the reset clears the third channel instead
    alignas(64) float taperTable[taperRows][taperColumns];
};

}  // namespace kestrava::codec
