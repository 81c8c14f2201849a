#pragma once

#include <cstdint>

namespace kestrava::codec {

struct CodecKernels;

// Adaptive pre-filter of one main channel (codec generations 1 to 3): a one-pole smoother whose
// coefficient follows the ratio of the signal's level above ~7 kHz to its level in 400..3000 Hz.
// Transparent while that ratio stays below ~0.55. State carries on from block to block; all zero
// when built. Used by one thread at a time; never allocates.
struct PreFilter {
    // Replaces each of the count samples by the smoother's output. Sanitises the state first (also
    // for count 0): a level, `smoothed`, high-pass or band-pass value at or beyond +-4e27, infinite
    // or NaN becomes 0, one between -4e27 and -3.9e27 becomes -3.9e27.
    void process(float* samples, std::uint32_t count);
    void process(float* samples, std::uint32_t count, const CodecKernels& kernels);

    float smoothed = 0.0f;           // the smoother's last output
    float highLevel = 0.0f;          // smoothed |high-pass|, 0..1
    float bandLevel = 0.0f;          // smoothed |band-pass|, 0..1
    double highPassLastInput = 0.0;  // e of the last sample
    double highPassLastOutput = 0.0; // d of the last sample
    double bandPassInput[4] = {};    // ring of the last four band-pass inputs
    double bandPassOutput[4] = {};   // ring of the last four band-pass outputs
    std::int32_t ringPos = 0;        // slot of the current sample in both rings
};

}  // namespace kestrava::codec
