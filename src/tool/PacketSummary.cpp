#include "tool/PacketSummary.h"

namespace {

// Most significant bit first; `bit` counts from bit 7 of byte 0.
class Bits {
public:
    Bits(const std::uint8_t* data, std::size_t size, std::size_t bit) : data(data), bits(size * 8), bit(bit) {}
    bool read(int count, std::uint32_t& value) {
        if (bit + static_cast<std::size_t>(count) > bits) return false;
        value = 0;
        for (int i = 0; i < count; ++i, ++bit) {
            value = (value << 1) | ((data[bit / 8] >> (7 - bit % 8)) & 1u);
        }
        return true;
    }

private:
    const std::uint8_t* data;
    std::size_t bits;
    std::size_t bit;
};

}  // namespace

bool summarizePacket(const std::uint8_t* data, std::size_t size, PacketSummary& out) {
    out = PacketSummary{};
    if (size < 2) return false;
    out.version = data[0];
    out.frame = (data[1] & 0x80) == 0;
    if (!out.frame) return true;
    // Version 0 starts its fields with the lowest bit of the flags byte (the bit that later
    // versions use for the GPS stamp flag); the others start at byte 2.
    Bits bits(data, size, out.version == 0 ? 15 : 16);
    std::uint32_t skipped = 0;
    out.stamped = out.version >= 1 && (data[1] & 0x01) != 0;
    if (out.stamped && !(bits.read(17, skipped) && bits.read(20, skipped))) return false;
    if (out.version >= 3) {
        std::uint32_t levelFlag = 0;
        if (!bits.read(1, levelFlag)) return false;
        if (levelFlag != 0 && !bits.read(11, skipped)) return false;
    }
    return bits.read(32, out.position) && bits.read(16, out.sampleCount);
}
