#pragma once

#include <cstdint>

namespace kestrava::transport {

// The hot routines of the erasure coder, in two builds (generic and AVX2) that leave identical
// bytes. erasureKernels() is the one dispatch point: the build is chosen once per process.
struct ErasureKernels {
    // out = a XOR b over length bytes; out may equal a or b.
    void (*xorBlocks)(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int32_t length);
    // out ^= a over length bytes.
    void (*xorInto)(std::uint8_t* out, const std::uint8_t* a, std::int32_t length);
    // The windowed accumulation of recovery rows 1 .. m - 1 (see ErasureCoder::encodeRow), with a
    // work buffer of erasureWorkspaceBytes.
    void (*encodeRow)(std::uint8_t* workspace, std::int32_t k, std::int32_t m, const std::uint8_t* elements,
                      std::int32_t elementStride, const std::uint8_t* const* dataBlocks, std::uint8_t* recovery,
                      std::int32_t subBlockBytes);
    // Recovery blocks 0 .. m - 1 written afresh (k >= 2, m >= 2, k + m <= 256): block 0 the XOR
    // of the data blocks, block r the action of element row r - 1. Same work buffer.
    void (*encodeBlocks)(std::uint8_t* workspace, std::int32_t k, std::int32_t m, const std::uint8_t* elements,
                         std::int32_t elementStride, const std::uint8_t* const* dataBlocks, std::uint8_t* recovery,
                         std::int32_t subBlockBytes);
};

const ErasureKernels& genericErasureKernels();
const ErasureKernels& avx2ErasureKernels();
const ErasureKernels& erasureKernels();

// Scratch of the windowed accumulation: pattern tables of 8 data blocks, 32 entries of 64 bytes.
inline constexpr std::int32_t erasureWorkspaceBytes = 16384;

}  // namespace kestrava::transport
