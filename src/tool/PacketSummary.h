#pragma once

#include <cstddef>
#include <cstdint>

// What a receiver can tell of one packet of the encoder's stream without decoding it: whether
// it is a frame or a recovery packet, and of a frame its stream position and sample count.
// Read from the packet's header layout alone; never reads past `size`.
struct PacketSummary {
    bool frame = false;  // false: a recovery packet
    std::int32_t version = 0;
    bool stamped = false;
    std::uint32_t position = 0;  // low 32 bits of the stream position of its first sample
    std::uint32_t sampleCount = 0;
};

// False when the packet is too short for the header its first bytes announce.
bool summarizePacket(const std::uint8_t* data, std::size_t size, PacketSummary& out);
