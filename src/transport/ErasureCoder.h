#pragma once

#include "platform/AlignedNew.h"
#include "transport/ErasureKernels.h"

#include <cstdint>

namespace kestrava::transport {

// Cauchy Reed-Solomon erasure encoder over GF(256), evaluated with XOR only: every block is eight
// sub-blocks of B/8 bytes, and each matrix element e acts through its bit-rows e, 2e, ... 128e
// (bit b of bit-row i set: data sub-block b goes into recovery sub-block i).
//
//   recovery block 0        = XOR of all data blocks
//   recovery block r (>= 1) = sum over j of element(r - 1, j) acting on data block j
//
// The recovery bytes are a wire contract: a receiver rebuilds lost blocks from any k of the
// k + m blocks with the same matrices. One coder serves one caller at a time (its matrix area and
// work buffer are scratch of a call); it allocates nothing and logs nothing. Large: allocate it
// with new (64-byte aligned) or as a member.
class ErasureCoder : public kestrava::AlignedNew {
public:
    static constexpr std::uint32_t maxBlockBytes = 2048;
    static constexpr std::int32_t maxSubBlockBytes = maxBlockBytes / 8;
    static constexpr std::int32_t workspaceBytes = erasureWorkspaceBytes;
    static constexpr std::int32_t matrixBytes = 16256;  // largest (m - 1) * k with k + m <= 256

    // Turns k data blocks of blockBytes bytes into m recovery blocks, written one after another at
    // `recovery` (block i at i * blockBytes). Returns 0, or -1 when refused:
    //  - blockBytes > maxBlockBytes: -1, nothing written;
    //  - m < 1: 0, nothing written; k < 1 (m >= 1): -1, nothing written;
    //  - k == 1: every recovery block is a copy of data block 0 (any blockBytes, any m);
    //  - otherwise recovery block 0 is the XOR of the data blocks; with m == 1 that is all (0);
    //    with m >= 2, k + m > 256 or blockBytes not a multiple of 8 gives -1 with only block 0
    //    written; else blocks 1 .. m - 1 are computed and the result is 0.
    // Data blocks need no alignment and are only read; the recovery area must not overlap them.
    std::int32_t encode(std::int32_t k, std::int32_t m, const std::uint8_t* const* dataBlocks, std::uint8_t* recovery,
                        std::uint32_t blockBytes);

    // The element matrix of (k, m) for 2 <= k, 2 <= m, k + m <= 256: m - 1 rows, row r - 1 for
    // recovery block r, element j of a row for data block j, rows `stride` bytes apart. m <= 6 gives
    // the fixed rows (stride 256 - m); m >= 7 computes the rows into this coder (stride k), valid
    // until its next call.
    struct ElementRows {
        const std::uint8_t* start;
        std::int32_t stride;
    };
    ElementRows elementRows(std::int32_t k, std::int32_t m);

    // XORs into recovery blocks 1 .. m - 1 (at `recovery`, 8 * subBlockBytes apart, normally zeroed
    // first) the action of `elements` (m - 1 rows at elementStride, k bytes used per row) on the k
    // data blocks. subBlockBytes 0 .. 256. A zero element adds nothing.
    void encodeRow(std::int32_t k, std::int32_t m, const std::uint8_t* elements, std::int32_t elementStride,
                   const std::uint8_t* const* dataBlocks, std::uint8_t* recovery, std::int32_t subBlockBytes);

private:
    alignas(64) std::uint8_t matrix[matrixBytes];
    alignas(64) std::uint8_t workspace[workspaceBytes];
};

}  // namespace kestrava::transport
