#pragma once

#include "codec/HammingWindowFilter.h"

namespace kestrava::codec {

// Per-sample predictor work area of one legacy channel (codec version 0): N = 16 for a main channel,
// 6 for the third. Everything but the window is rewritten before it is read, for every sample:
// the windowed last N reconstructions, their autocorrelation, the Levinson-Durbin predictors of
// orders 0..N-1 (row m, entries 1..m; entry 0 and row 0 stay 0) and their error energies.
template <int N>
struct LegacyLpc {
    alignas(64) double analysisFrame[N] = {};
    alignas(64) double autocorrelation[N] = {};
    alignas(64) double predictionError[N] = {};
    alignas(64) double coefTable[N][N] = {};
    alignas(64) HammingWindowFilter<N> window;
};

}  // namespace kestrava::codec
