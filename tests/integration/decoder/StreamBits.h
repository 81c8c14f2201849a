#pragma once

// Most-significant-bit-first reading of one entropy stream; reading past the end of the payload
// throws, so a damaged frame is refused rather than read out of bounds.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace streamdecoder {

class StreamBits {
public:
    StreamBits(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    unsigned bit() {
        if (position >= size * 8) throw std::out_of_range("stream ends early");
        const unsigned b = (data[position / 8] >> (7 - position % 8)) & 1u;
        ++position;
        return b;
    }
    std::uint64_t bits(int width) {
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) value = (value << 1) | bit();
        return value;
    }
    // Bytes from the stream's start through its last bit: the next stream starts there.
    std::size_t bytesUsed() const { return (position + 7) / 8; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

}  // namespace streamdecoder
