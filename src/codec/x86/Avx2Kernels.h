#pragma once

// The AVX2 kernels of CodecKernels, each in its own x86/*_avx2.cpp compiled with -mavx2 (never FMA).
// Only CodecKernels.cpp and those files include this header; it holds no intrinsics.
#include <cstdint>

namespace kestrava::codec {

namespace x86 {

void lpc16CorrelateAvx2(const double* x, double* r);
void lpc11SumsAvx2(const float* w, std::uint32_t skip, std::uint32_t end, float* r);
void lpc11EdgeSumsAvx2(const float* w, float* r);
void lpc5CorrelateAvx2(const double* w, double* r);
void lpc3CorrelateAvx2(const float* b, float* r);
void preFilterScaleAvx2(const float* x, double* e, double* m, std::uint32_t count);

}  // namespace x86

}  // namespace kestrava::codec
