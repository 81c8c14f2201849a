#pragma once

#include "codec/ChannelHistory.h"
#include "codec/TaperBank.h"

#include <cstdint>

namespace kestrava::codec {

struct CodecKernels;

// Main-channel predictor state of the float generation (codec version 3): 11 taps, re-derived before
// every sample from the newest min(fillCount, 320) reconstructions (ring of 320 slots). With a full
// frame it carries the untapered middle of the lag sums in the history's middleSums from call to call
// (sumsStale asks for a rebuild), so the result depends on the history's whole path since its last
// reset, not on this record. The coder predicts with coefTable[11][1..11], clamped to +-predictionLimit.
struct alignas(64) BackwardLpc11 {
    static constexpr std::uint32_t ringLength = 320;
    static constexpr int order = 11;
    static constexpr int guard = 16;

    BackwardLpc11();

    void update(ChannelHistory<float>& history);
    void update(ChannelHistory<float>& history, const CodecKernels& kernels);

    // Frame positions -16..343: 16 zero guards, the 320-sample frame w[0..319], 24 spare zeros.
    float analysisFrame[guard + ringLength + 24];
    // coefTable[m][1..m]: the order-m predictor (m = 1..11); row 0 and column 0 stay 0.
    float coefTable[order + 1][order + 1];
    float predictionLimit;
    std::int32_t historyScale;
    // The taper bank rounded entry by entry to float; row 8 gives the 8-point rise and fall.
    alignas(64) float taperTable[taperRows][taperColumns];
};

}  // namespace kestrava::codec
