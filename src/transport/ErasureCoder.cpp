#include "transport/ErasureCoder.h"

#include "transport/CauchyTables.h"
#include "transport/ErasureKernels.h"
#include "transport/Gf256Tables.h"

#include <cstring>

std::int32_t ErasureCoder::encode(std::int32_t k, std::int32_t m, const std::uint8_t* const* dataBlocks,
                                  std::uint8_t* recovery, std::uint32_t blockBytes) {
    if (blockBytes > maxBlockBytes) return -1;
    // Nothing asked for, or nothing to code from: never touch the recovery area.
    if (m < 1) return 0;
    if (k < 1) return -1;
    const std::size_t b = blockBytes;
    if (k == 1) {
        for (std::int32_t i = 0; i < m; ++i) std::memcpy(recovery + i * b, dataBlocks[0], b);
        return 0;
    }
    const ErasureKernels& kernels = erasureKernels();
    const auto length = static_cast<std::int32_t>(blockBytes);
    kernels.xorBlocks(recovery, dataBlocks[0], dataBlocks[1], length);
    for (std::int32_t j = 2; j < k; ++j) kernels.xorInto(recovery, dataBlocks[j], length);
    if (m == 1) return 0;
    if (k + m > 256 || blockBytes % 8 != 0) return -1;

    const ElementRows rows = elementRows(k, m);
    std::uint8_t* rest = recovery + b;
    std::memset(rest, 0, (m - 1) * b);
    const auto s = static_cast<std::int32_t>(blockBytes / 8);
    if (m <= 4) {
        accumulatePlainRows(k, m, rows, dataBlocks, rest, s);
    } else {
        encodeRow(k, m, rows.start, rows.stride, dataBlocks, rest, s);
    }
    return 0;
}

ErasureCoder::ElementRows ErasureCoder::elementRows(std::int32_t k, std::int32_t m) {
    if (m <= cauchyFixedMaxM) return {cauchyFixedRows[m], 256 - m};
    // Element (t, j) = y_j / (x_t XOR y_j), with y_0 = 1 and y_1.. the column values of m.
    const std::uint8_t* columns = cauchyColumnValues.data() + cauchyColumnStart(m) - 1;
    for (std::int32_t t = 0; t < m - 1; ++t) {
        const unsigned x = cauchyRowValues[t];
        std::uint8_t* row = matrix + t * k;
        row[0] = cauchyFirstColumn[x ^ 1];
        for (std::int32_t j = 1; j < k; ++j) {
            const unsigned y = columns[j];
            row[j] = gf256DivTable[256 * (x ^ y) + y];
        }
    }
    return {matrix, k};
}

// The definition of recovery blocks 1 .. m - 1: for every set bit b of bit-row i of element
// (r - 1, j), data sub-block b of block j is XORed into sub-block i of recovery block r.
void ErasureCoder::accumulatePlainRows(std::int32_t k, std::int32_t m, ElementRows rows,
                                       const std::uint8_t* const* dataBlocks, std::uint8_t* recovery,
                                       std::int32_t s) const {
    const ErasureKernels& kernels = erasureKernels();
    for (std::int32_t r = 1; r < m; ++r) {
        std::uint8_t* block = recovery + (r - 1) * 8 * s;
        const std::uint8_t* row = rows.start + (r - 1) * rows.stride;
        for (std::int32_t j = 0; j < k; ++j) {
            unsigned e = row[j];
            for (int i = 0; i < 8; ++i) {
                for (int bit = 0; bit < 8; ++bit) {
                    if (e & (1u << bit)) kernels.xorInto(block + i * s, dataBlocks[j] + bit * s, s);
                }
                e = gf256MulTable[512 + e];
            }
        }
    }
}

void ErasureCoder::encodeRow(std::int32_t k, std::int32_t m, const std::uint8_t* elements, std::int32_t elementStride,
                             const std::uint8_t* const* dataBlocks, std::uint8_t* recovery, std::int32_t subBlockBytes) {
    if (subBlockBytes > maxSubBlockBytes) return;  // the work buffer holds 22 sub-blocks of at most 256 bytes
    erasureKernels().encodeRow(workspace, k, m, elements, elementStride, dataBlocks, recovery, subBlockBytes);
}
