#pragma once

#include <cstdint>

// The hot routines of the erasure coder, in two builds (generic and AVX2) that leave identical
// bytes. erasureKernels() is the one dispatch point: the build is chosen once per process.
struct ErasureKernels {
    // out = a XOR b over length bytes; out may equal a or b.
    void (*xorBlocks)(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int32_t length);
    // out ^= a over length bytes.
    void (*xorInto)(std::uint8_t* out, const std::uint8_t* a, std::int32_t length);
    // The windowed accumulation of recovery rows 1 .. m - 1 (see ErasureCoder::encodeRow), with a
    // work buffer of at least 22 * subBlockBytes bytes.
    void (*encodeRow)(std::uint8_t* workspace, std::int32_t k, std::int32_t m, const std::uint8_t* elements,
                      std::int32_t elementStride, const std::uint8_t* const* dataBlocks, std::uint8_t* recovery,
                      std::int32_t subBlockBytes);
};

const ErasureKernels& genericErasureKernels();
const ErasureKernels& avx2ErasureKernels();
const ErasureKernels& erasureKernels();

// Work-buffer layout shared by both builds: slice n of window w holds the combination of the
// n-th pattern with two or more bits, 11 * w + n sub-blocks from the start.
inline constexpr std::uint8_t windowCombinationPatterns[11] = {3, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15};
