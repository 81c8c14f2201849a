#include "transport/ErasureCoder.h"

#include "transport/CauchyTables.h"
#include "transport/ErasureKernels.h"
#include "transport/Gf256Tables.h"

#include <cstring>

namespace kestrava::transport {

std::int32_t ErasureCoder::encode(std::int32_t k, std::int32_t m, const std::uint8_t* const* dataBlocks,
                                  std::uint8_t* recovery, std::uint32_t blockBytes) {
    if (blockBytes > maxBlockBytes) return -1;
    // Nothing asked for, or nothing to code from: never touch the recovery area.
    if (m < 1) return 0;
    if (k < 1) return -1;
    const std::size_t b = blockBytes;
    if (k == 1) {
        for (std::int32_t i = 0; i < m && b != 0; ++i) std::memcpy(recovery + i * b, dataBlocks[0], b);
        return 0;
    }
    const ErasureKernels& kernels = erasureKernels();
    if (m == 1 || k + m > 256 || blockBytes % 8 != 0) {
        // Recovery block 0 is the parity whatever follows; only m = 1 makes that the whole answer.
        const auto length = static_cast<std::int32_t>(blockBytes);
        kernels.xorBlocks(recovery, dataBlocks[0], dataBlocks[1], length);
        for (std::int32_t j = 2; j < k; ++j) kernels.xorInto(recovery, dataBlocks[j], length);
        return m == 1 ? 0 : -1;
    }
    const ElementRows rows = elementRows(k, m);
    kernels.encodeBlocks(workspace, k, m, rows.start, rows.stride, dataBlocks, recovery,
                         static_cast<std::int32_t>(blockBytes / 8));
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

void ErasureCoder::encodeRow(std::int32_t k, std::int32_t m, const std::uint8_t* elements, std::int32_t elementStride,
                             const std::uint8_t* const* dataBlocks, std::uint8_t* recovery, std::int32_t subBlockBytes) {
    if (subBlockBytes > maxSubBlockBytes) return;  // the work buffer holds 22 sub-blocks of at most 256 bytes
    erasureKernels().encodeRow(workspace, k, m, elements, elementStride, dataBlocks, recovery, subBlockBytes);
}

}  // namespace kestrava::transport
