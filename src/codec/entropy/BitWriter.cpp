#include "codec/entropy/BitWriter.h"

namespace kestrava::codec::entropy {

void BitWriter::reset(std::uint8_t* buffer) {
    byteIndex = 0;
    bitCount = 0;
    buffer[0] = 0;
}

void BitWriter::writeBits(std::uint8_t* buffer, std::uint64_t value, std::uint32_t width) {
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
