#pragma once

#include "transport/ErasureKernels.h"
#include "transport/Gf256Tables.h"

#include <cstdint>

// The windowed accumulation of recovery rows 1 .. m - 1, written once for both builds: Xor
// supplies the three XOR passes of a build (xor2: out = a ^ b; xorInto: out ^= a;
// xorInto2: out ^= a ^ b), each over n bytes.
//
// For each data block the four sub-blocks of each half (window) are combined into all fifteen
// non-empty XOR patterns, so that bit-row e_i of an element costs one pass reading at most two
// combinations: C0(e_i & 15) ^ C1(e_i >> 4) is exactly the XOR of the data sub-blocks selected by
// the bits of e_i. The result is the plain bit-matrix accumulation, byte for byte.
//
//   window 0: sub-blocks 0..3 of the block      window 1: sub-blocks 4..7
//   entries 1, 2, 4, 8: the sub-blocks in place; entries 3, 5, 6, 7, 9..15: workspace slices
template <class Xor>
void accumulateWindowedRows(std::uint8_t* workspace, std::int32_t k, std::int32_t m, const std::uint8_t* elements,
                            std::int32_t elementStride, const std::uint8_t* const* dataBlocks, std::uint8_t* recovery,
                            std::int32_t s) {
    if (k <= 0 || m <= 1 || s <= 0) return;
    const std::uint8_t* window[2][16] = {};
    std::uint8_t* slot[2][16] = {};
    for (int w = 0; w < 2; ++w) {
        for (int n = 0; n < 11; ++n) {
            slot[w][windowCombinationPatterns[n]] = workspace + (11 * w + n) * s;
            window[w][windowCombinationPatterns[n]] = slot[w][windowCombinationPatterns[n]];
        }
    }
    for (std::int32_t j = 0; j < k; ++j) {
        for (int w = 0; w < 2; ++w) {
            const std::uint8_t** c = window[w];
            std::uint8_t** out = slot[w];
            const std::uint8_t* half = dataBlocks[j] + 4 * w * s;
            c[1] = half;
            c[2] = half + s;
            c[4] = half + 2 * s;
            c[8] = half + 3 * s;
            // Each combination from two already formed.
            Xor::xor2(out[3], c[1], c[2], s);
            Xor::xor2(out[6], c[2], c[4], s);
            Xor::xor2(out[5], c[1], c[4], s);
            Xor::xor2(out[7], c[1], c[6], s);
            Xor::xor2(out[9], c[1], c[8], s);
            Xor::xor2(out[12], c[4], c[8], s);
            Xor::xor2(out[10], c[2], c[8], s);
            Xor::xor2(out[11], c[3], c[8], s);
            Xor::xor2(out[13], c[1], c[12], s);
            Xor::xor2(out[14], c[2], c[12], s);
            Xor::xor2(out[15], c[3], c[12], s);
        }
        // Sub-block i of row r lies ((r - 1) * 8 + i) * s bytes into the recovery area.
        std::uint8_t* target = recovery;
        const std::uint8_t* element = elements + j;
        for (std::int32_t r = 1; r < m; ++r, element += elementStride) {
            unsigned e = *element;
            for (int i = 0; i < 8; ++i, target += s) {
                const unsigned lo = e & 15;
                const unsigned hi = e >> 4;
                if (lo != 0 && hi != 0) {
                    Xor::xorInto2(target, window[0][lo], window[1][hi], s);
                } else if (lo != 0) {
                    Xor::xorInto(target, window[0][lo], s);
                } else if (hi != 0) {
                    Xor::xorInto(target, window[1][hi], s);
                }  // a zero element adds nothing
                e = gf256MulTable[512 + e];
            }
        }
    }
}
