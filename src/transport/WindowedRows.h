#pragma once

#include "transport/Gf256Tables.h"

#include <array>
#include <cstdint>

namespace kestrava::transport {

// The windowed accumulation of recovery rows 1 .. m - 1, written once for both builds. Bit-row
// e_i of element (r - 1, j) selects the data sub-blocks that go into sub-block i of recovery
// block r. Each half (window) of a data block is combined into all sixteen XOR patterns of its
// four sub-blocks, so that C0(e_i & 15) ^ C1(e_i >> 4) is exactly the XOR of the sub-blocks that
// the bits of e_i select: one or two reads per bit-row instead of up to eight. XOR being exact
// and order-free, the bytes are those of the bit-by-bit definition whatever the traversal.
//
//   window 0: sub-blocks 0..3 of the block      window 1: sub-blocks 4..7
//   pattern p of window w: XOR of the sub-blocks 4w + t for every bit t set in p (0: nothing)
//
// Sub-block b of a block is `stride` bytes after sub-block b - 1; the routines work on the bytes
// [offset, offset + length) of every sub-block.

// Pass form, for any length: per data block the 22 combinations go into the workspace
// (22 * length bytes), then each bit-row is one pass over the recovery sub-block. Xor supplies the
// passes: xor2 (out = a ^ b), xorInto (out ^= a), xorInto2 (out ^= a ^ b), each over n bytes.
template <class Xor>
void accumulateWindowedPasses(std::uint8_t* workspace, std::int32_t k, std::int32_t m, const std::uint8_t* elements,
                              std::int32_t elementStride, const std::uint8_t* const* dataBlocks,
                              std::uint8_t* recovery, std::int32_t stride, std::int32_t offset, std::int32_t length) {
    if (k <= 0 || m <= 1 || length <= 0) return;
    static constexpr std::uint8_t formed[11] = {3, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15};
    const std::uint8_t* window[2][16] = {};
    std::uint8_t* slot[2][16] = {};
    for (int w = 0; w < 2; ++w) {
        for (int n = 0; n < 11; ++n) {
            slot[w][formed[n]] = workspace + (11 * w + n) * length;
            window[w][formed[n]] = slot[w][formed[n]];
        }
    }
    for (std::int32_t j = 0; j < k; ++j) {
        for (int w = 0; w < 2; ++w) {
            const std::uint8_t** c = window[w];
            std::uint8_t** out = slot[w];
            const std::uint8_t* half = dataBlocks[j] + 4 * w * stride + offset;
            c[1] = half;
            c[2] = half + stride;
            c[4] = half + 2 * stride;
            c[8] = half + 3 * stride;
            Xor::xor2(out[3], c[1], c[2], length);
            Xor::xor2(out[6], c[2], c[4], length);
            Xor::xor2(out[5], c[1], c[4], length);
            Xor::xor2(out[7], c[1], c[6], length);
            Xor::xor2(out[9], c[1], c[8], length);
            Xor::xor2(out[12], c[4], c[8], length);
            Xor::xor2(out[10], c[2], c[8], length);
            Xor::xor2(out[11], c[3], c[8], length);
            Xor::xor2(out[13], c[1], c[12], length);
            Xor::xor2(out[14], c[2], c[12], length);
            Xor::xor2(out[15], c[3], c[12], length);
        }
        const std::uint8_t* element = elements + j;
        for (std::int32_t r = 1; r < m; ++r, element += elementStride) {
            std::uint8_t* target = recovery + (r - 1) * 8 * stride + offset;
            unsigned e = *element;
            for (int i = 0; i < 8; ++i, target += stride) {
                const unsigned lo = e & 15;
                const unsigned hi = e >> 4;
                if (lo != 0 && hi != 0) {
                    Xor::xorInto2(target, window[0][lo], window[1][hi], length);
                } else if (lo != 0) {
                    Xor::xorInto(target, window[0][lo], length);
                } else if (hi != 0) {
                    Xor::xorInto(target, window[1][hi], length);
                }  // a zero element adds nothing
                e = gf256MulTable[512 + e];
            }
        }
    }
}

// Strip form: one strip (two vectors) at byte q of every sub-block at a time. For each strip
// the pattern tables of up to stripBlocks data blocks are built in the workspace (32 entries per
// block; entries 0 and 16, the empty patterns, stay zero), then every recovery sub-block strip is
// summed in registers over those blocks and written once per batch of blocks. Vec supplies the
// vector type with load, store, bxor and zero.
template <class Vec>
struct StripRows {
    static constexpr int vectorBytes = Vec::bytes;
    static constexpr int stripBytes = 2 * vectorBytes;
    static constexpr int entryBytes = stripBytes;
    static constexpr int tableBytes = 32 * entryBytes;
    static constexpr int stripBlocks = 8;
    static constexpr int workspaceBytes = stripBlocks * tableBytes;

    // For element e and bit-row i: the byte offsets in a pattern table of the low-nibble entry
    // (window 0) and of the high-nibble entry (window 1).
    static constexpr std::array<std::array<std::uint16_t, 16>, 256> entryOffsets = [] {
        std::array<std::array<std::uint16_t, 16>, 256> table{};
        for (unsigned e = 0; e < 256; ++e) {
            unsigned row = e;
            for (int i = 0; i < 8; ++i) {
                table[e][2 * i] = static_cast<std::uint16_t>((row & 15) * entryBytes);
                table[e][2 * i + 1] = static_cast<std::uint16_t>((16 + (row >> 4)) * entryBytes);
                row = gf256Twice(row);
            }
        }
        return table;
    }();

    using V = typename Vec::Type;

    static void buildTable(std::uint8_t* table, const std::uint8_t* block, std::int32_t stride) {
        for (int w = 0; w < 2; ++w) {
            std::uint8_t* t = table + 16 * w * entryBytes;
            const std::uint8_t* half = block + 4 * w * stride;
            for (int v = 0; v < 2; ++v) {
                const int at = v * vectorBytes;
                const V c1 = Vec::load(half + at);
                const V c2 = Vec::load(half + stride + at);
                const V c4 = Vec::load(half + 2 * stride + at);
                const V c8 = Vec::load(half + 3 * stride + at);
                const V c3 = Vec::bxor(c1, c2);
                const V c5 = Vec::bxor(c1, c4);
                const V c6 = Vec::bxor(c2, c4);
                const V c7 = Vec::bxor(c3, c4);
                Vec::store(t + 1 * entryBytes + at, c1);
                Vec::store(t + 2 * entryBytes + at, c2);
                Vec::store(t + 3 * entryBytes + at, c3);
                Vec::store(t + 4 * entryBytes + at, c4);
                Vec::store(t + 5 * entryBytes + at, c5);
                Vec::store(t + 6 * entryBytes + at, c6);
                Vec::store(t + 7 * entryBytes + at, c7);
                Vec::store(t + 8 * entryBytes + at, c8);
                Vec::store(t + 9 * entryBytes + at, Vec::bxor(c1, c8));
                Vec::store(t + 10 * entryBytes + at, Vec::bxor(c2, c8));
                Vec::store(t + 11 * entryBytes + at, Vec::bxor(c3, c8));
                Vec::store(t + 12 * entryBytes + at, Vec::bxor(c4, c8));
                Vec::store(t + 13 * entryBytes + at, Vec::bxor(c5, c8));
                Vec::store(t + 14 * entryBytes + at, Vec::bxor(c6, c8));
                Vec::store(t + 15 * entryBytes + at, Vec::bxor(c7, c8));
            }
        }
    }

    // Writes four sums (two vectors each) to sub-blocks 4h .. 4h + 3 of a block strip: stored
    // when `store`, else XORed into what is there.
    static void put(std::uint8_t* target, std::int32_t stride, int h, const V (&sums)[8], bool store) {
        for (int i = 0; i < 4; ++i) {
            std::uint8_t* p = target + (4 * h + i) * stride;
            if (store) {
                Vec::store(p, sums[2 * i]);
                Vec::store(p + vectorBytes, sums[2 * i + 1]);
            } else {
                Vec::store(p, Vec::bxor(Vec::load(p), sums[2 * i]));
                Vec::store(p + vectorBytes, Vec::bxor(Vec::load(p + vectorBytes), sums[2 * i + 1]));
            }
        }
    }

    // Half h of a recovery block: sub-blocks (bit-rows) 4h .. 4h + 3 of one row, over `count`
    // blocks whose elements are rowElements[0 .. count - 1].
    static void rowHalf(std::uint8_t* target, std::int32_t stride, const std::uint8_t* tables,
                        const std::uint8_t* rowElements, int count, int h, bool store) {
        V a0 = Vec::zero(), b0 = Vec::zero(), a1 = Vec::zero(), b1 = Vec::zero();
        V a2 = Vec::zero(), b2 = Vec::zero(), a3 = Vec::zero(), b3 = Vec::zero();
        for (int jj = 0; jj < count; ++jj) {
            const std::uint8_t* t = tables + jj * tableBytes;
            const std::uint16_t* o = entryOffsets[rowElements[jj]].data() + 8 * h;
            a0 = Vec::bxor(a0, Vec::bxor(Vec::load(t + o[0]), Vec::load(t + o[1])));
            b0 = Vec::bxor(b0, Vec::bxor(Vec::load(t + o[0] + vectorBytes), Vec::load(t + o[1] + vectorBytes)));
            a1 = Vec::bxor(a1, Vec::bxor(Vec::load(t + o[2]), Vec::load(t + o[3])));
            b1 = Vec::bxor(b1, Vec::bxor(Vec::load(t + o[2] + vectorBytes), Vec::load(t + o[3] + vectorBytes)));
            a2 = Vec::bxor(a2, Vec::bxor(Vec::load(t + o[4]), Vec::load(t + o[5])));
            b2 = Vec::bxor(b2, Vec::bxor(Vec::load(t + o[4] + vectorBytes), Vec::load(t + o[5] + vectorBytes)));
            a3 = Vec::bxor(a3, Vec::bxor(Vec::load(t + o[6]), Vec::load(t + o[7])));
            b3 = Vec::bxor(b3, Vec::bxor(Vec::load(t + o[6] + vectorBytes), Vec::load(t + o[7] + vectorBytes)));
        }
        put(target, stride, h, {a0, b0, a1, b1, a2, b2, a3, b3}, store);
    }

    // Half h of the parity block: the single-sub-block entries 1, 2, 4, 8 of window h.
    static void parityHalf(std::uint8_t* target, std::int32_t stride, const std::uint8_t* tables, int count, int h,
                           bool store) {
        V a0 = Vec::zero(), b0 = Vec::zero(), a1 = Vec::zero(), b1 = Vec::zero();
        V a2 = Vec::zero(), b2 = Vec::zero(), a3 = Vec::zero(), b3 = Vec::zero();
        for (int jj = 0; jj < count; ++jj) {
            const std::uint8_t* t = tables + jj * tableBytes + 16 * h * entryBytes;
            a0 = Vec::bxor(a0, Vec::load(t + 1 * entryBytes));
            b0 = Vec::bxor(b0, Vec::load(t + 1 * entryBytes + vectorBytes));
            a1 = Vec::bxor(a1, Vec::load(t + 2 * entryBytes));
            b1 = Vec::bxor(b1, Vec::load(t + 2 * entryBytes + vectorBytes));
            a2 = Vec::bxor(a2, Vec::load(t + 4 * entryBytes));
            b2 = Vec::bxor(b2, Vec::load(t + 4 * entryBytes + vectorBytes));
            a3 = Vec::bxor(a3, Vec::load(t + 8 * entryBytes));
            b3 = Vec::bxor(b3, Vec::load(t + 8 * entryBytes + vectorBytes));
        }
        put(target, stride, h, {a0, b0, a1, b1, a2, b2, a3, b3}, store);
    }

    static void clearEmptyEntries(std::uint8_t* workspace) {
        for (int slot = 0; slot < stripBlocks; ++slot) {
            for (int v = 0; v < 2; ++v) {
                Vec::store(workspace + slot * tableBytes + v * vectorBytes, Vec::zero());
                Vec::store(workspace + slot * tableBytes + 16 * entryBytes + v * vectorBytes, Vec::zero());
            }
        }
    }

    // One strip at byte q of every sub-block, over all k data blocks. With `overwrite` the strip
    // of every block is written afresh (the first batch stores, later batches add), and `blocks`
    // points at recovery block 0, which gets the parity; otherwise the strip is XORed into what
    // is there and `blocks` points at recovery block 1.
    static void strip(std::uint8_t* workspace, std::int32_t k, std::int32_t m, const std::uint8_t* elements,
                      std::int32_t elementStride, const std::uint8_t* const* dataBlocks, std::uint8_t* blocks,
                      std::int32_t stride, std::int32_t q, bool overwrite) {
        std::uint8_t* const rowBlocks = overwrite ? blocks + 8 * stride + q : blocks + q;
        for (std::int32_t j0 = 0; j0 < k; j0 += stripBlocks) {
            const int count = k - j0 < stripBlocks ? k - j0 : stripBlocks;
            const bool store = overwrite && j0 == 0;
            for (int jj = 0; jj < count; ++jj) buildTable(workspace + jj * tableBytes, dataBlocks[j0 + jj] + q, stride);
            if (overwrite) {
                parityHalf(blocks + q, stride, workspace, count, 0, store);
                parityHalf(blocks + q, stride, workspace, count, 1, store);
            }
            const std::uint8_t* rowElements = elements + j0;
            for (std::int32_t r = 1; r < m; ++r, rowElements += elementStride) {
                std::uint8_t* target = rowBlocks + (r - 1) * 8 * stride;
                rowHalf(target, stride, workspace, rowElements, count, 0, store);
                rowHalf(target, stride, workspace, rowElements, count, 1, store);
            }
        }
    }
};

// The two entry points of a build, over its vector type and XOR passes.
template <class Vec, class Xor>
struct WindowedRows {
    using Strips = StripRows<Vec>;

    // Recovery blocks 1 .. m - 1 at `recovery` += the rows' action on the data blocks.
    static void encodeRow(std::uint8_t* workspace, std::int32_t k, std::int32_t m, const std::uint8_t* elements,
                          std::int32_t elementStride, const std::uint8_t* const* dataBlocks, std::uint8_t* recovery,
                          std::int32_t s) {
        if (k <= 0 || m <= 1 || s <= 0) return;
        const std::int32_t whole = s - s % Strips::stripBytes;
        if (whole > 0) {
            Strips::clearEmptyEntries(workspace);
            for (std::int32_t q = 0; q < whole; q += Strips::stripBytes) {
                Strips::strip(workspace, k, m, elements, elementStride, dataBlocks, recovery, s, q, false);
            }
        }
        accumulateWindowedPasses<Xor>(workspace, k, m, elements, elementStride, dataBlocks, recovery, s, whole,
                                      s - whole);
    }

    // Recovery blocks 0 .. m - 1 at `recovery`, written afresh: block 0 the parity, blocks 1 ..
    // the rows. k >= 2, m >= 2.
    static void encodeBlocks(std::uint8_t* workspace, std::int32_t k, std::int32_t m, const std::uint8_t* elements,
                             std::int32_t elementStride, const std::uint8_t* const* dataBlocks,
                             std::uint8_t* recovery, std::int32_t s) {
        if (s >= Strips::stripBytes) {
            // Strips cover every byte; the last one may overlap its predecessor, which is harmless
            // because a strip is written afresh.
            Strips::clearEmptyEntries(workspace);
            for (std::int32_t q = 0; q < s; q += Strips::stripBytes) {
                const std::int32_t at = q + Strips::stripBytes <= s ? q : s - Strips::stripBytes;
                Strips::strip(workspace, k, m, elements, elementStride, dataBlocks, recovery, s, at, true);
            }
            return;
        }
        const std::int32_t b = 8 * s;
        Xor::xor2(recovery, dataBlocks[0], dataBlocks[1], b);
        for (std::int32_t j = 2; j < k; ++j) Xor::xorInto(recovery, dataBlocks[j], b);
        std::uint8_t* rows = recovery + b;
        for (std::int32_t i = 0; i < (m - 1) * b; ++i) rows[i] = 0;
        accumulateWindowedPasses<Xor>(workspace, k, m, elements, elementStride, dataBlocks, rows, s, 0, s);
    }
};

}  // namespace kestrava::transport
