#pragma once

#include <cstdint>

namespace kestrava::codec::entropy {

// Writing position of one entropy-coded stream. The byte buffer is not part of the writer: each
// write is given it. Fields go most significant bit first; the first bit of a stream is bit 7
// of byte 0.
//
//   byte:   [ 7 6 5 4 3 2 1 0 ][ 7 6 5 4 3 2 1 0 ] ...
//             ^ first stream bit
//
// bitCount is 0..8; 8 means the byte is full and the writer moves on only when the next bit
// comes, so after any write bitCount is 1..8. Every byte is zeroed before its first bit, so the
// unused low bits of the last byte are 0, and no write touches a byte beyond its last bit's.
struct BitWriter {
    std::int32_t byteIndex = 0;
    std::int32_t bitCount = 0;

    // Starts a stream at buffer[0] (which it zeroes).
    void reset(std::uint8_t* buffer);

    // Appends the low `width` bits (0..64) of value, highest first. No capacity test: ask
    // hasRoom first.
    void writeBits(std::uint8_t* buffer, std::uint64_t value, std::uint32_t width);

    // True when a field of `width` bits ends before the last bit of `capacity` bytes: a field
    // that would end exactly on the last bit is refused.
    bool hasRoom(std::uint32_t width, std::uint32_t capacity) const {
        const std::uint64_t end = std::uint64_t(std::uint32_t(byteIndex)) * 8u + std::uint32_t(bitCount) + width;
        return (end >> 3) < capacity;
    }

    // Bytes of the stream written since the last reset.
    std::uint32_t byteCount() const { return std::uint32_t(byteIndex) + (bitCount > 0 ? 1u : 0u); }
};

// Inline: the entropy coders call it once per symbol.
inline void BitWriter::writeBits(std::uint8_t* buffer, std::uint64_t value, std::uint32_t width) {
    if (width == 0) return;
    if (bitCount == 0) buffer[byteIndex] = 0;
    std::uint32_t remaining = width;
    while (remaining > 0) {
        if (bitCount == 8) {
            ++byteIndex;
            bitCount = 0;
            buffer[byteIndex] = 0;
        }
        const std::uint32_t free = 8u - std::uint32_t(bitCount);
        const std::uint32_t take = remaining < free ? remaining : free;
        // The next `take` bits of the field, highest first, placed right below the used bits.
        const std::uint64_t chunk = (value >> (remaining - take)) & ((std::uint64_t{1} << take) - 1u);
        buffer[byteIndex] = std::uint8_t(buffer[byteIndex] | (chunk << (free - take)));
        bitCount += std::int32_t(take);
        remaining -= take;
    }
}

}  // namespace kestrava::codec::entropy
