#pragma once

#include <cstdint>

namespace kestrava::codec {

// The hot inner loops of the codec core, in a generic and an AVX2 build with identical results.
// Each keeps the lane structure of its partial sums exactly (lane c adds the terms whose position t
// has t mod lanes == c, in increasing t; lanes are added in order at the end): the grouping is part
// of the coded stream, so a build may vectorise across lanes but never reassociate within one.
// The serial parts around them (frame fill, taper, Levinson recursion, pre-filter recursion) exist once.
struct CodecKernels {
    const char* name;

    // BackwardLpc16: r[L], L = 0..15, over frame positions 4(L/4)..127 in 4 lanes.
    // x points at frame position 0 with 16 readable zeros before it.
    void (*lpc16Correlate)(const double* x, double* r);

    // BackwardLpc11: R[k], k = 0..11, lane sums (4 float lanes) over t = 4(k/4)+skip .. end-1.
    // w points at frame position 0 with 16 readable zeros before it.
    void (*lpc11Sums)(const float* w, std::uint32_t skip, std::uint32_t end, float* r);
    // BackwardLpc11 edge part: per k one lane sum over t = 4(k/4)..4(k/4)+11, then t = 308..319.
    void (*lpc11EdgeSums)(const float* w, float* r);

    // BackwardLpc5: R[k], k = 0..5, even and odd positions 0..63 summed apart, then even + odd.
    // w points at frame position 0 with 16 readable zeros before it.
    void (*lpc5Correlate)(const double* w, double* r);

    // BackwardLpc3: r[k], k = 0..3, positions 0..31 in 4 lanes. b has 16 readable zeros before it.
    void (*lpc3Correlate)(const float* b, float* r);

    // PreFilter inputs of the two fixed filters: e[i] = x[i] / 1.644764842, m[i] = x[i] / 28.70646992.
    void (*preFilterScale)(const float* x, double* e, double* m, std::uint32_t count);
};

// The generic build: the definition of every kernel.
const CodecKernels& genericCodecKernels();
// The AVX2 build, or null when the processor lacks AVX2.
const CodecKernels* avx2CodecKernels();
// The one dispatch point: AVX2 when kestrava::useAvx2Routines(), else generic. Chosen once.
const CodecKernels& codecKernels();

}  // namespace kestrava::codec
