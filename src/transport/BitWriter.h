#pragma once

#include <cstdint>

namespace kestrava::transport {

// Writes bit fields most significant bit first, filling each byte from bit 7 (0x80) down to bit 0.
// A byte is set to zero when a field starts in it at its bit 7, so the rest of the last byte
// stays zero; a byte entered in the middle (bit 0 of a flags byte) keeps its upper bits.
class BitWriter {
public:
    BitWriter(std::uint8_t* bytes, std::uint32_t startBit) : bytes(bytes), bit(startBit) {}

    // The low `width` bits of value (width 1..32).
    void put(std::uint32_t value, int width) {
        for (int i = width - 1; i >= 0; --i, ++bit) {
            std::uint8_t& byte = bytes[bit >> 3];
            if ((bit & 7) == 0) byte = 0;
            if ((value >> i) & 1u) byte = static_cast<std::uint8_t>(byte | (0x80u >> (bit & 7)));
        }
    }

    // Bytes touched so far, counted from byte 0, the partly filled last one included.
    std::uint32_t bytesUsed() const { return (bit + 7) / 8; }

private:
    std::uint8_t* const bytes;
    std::uint32_t bit;
};

}  // namespace kestrava::transport
