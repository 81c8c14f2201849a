#pragma once

// Test-side reception of an encoder's packet stream, written from the wire description alone:
// the packet file (u16 little-endian length + bytes), removal of stream protection (AES-128
// blocks after the version byte, then the CRC-8 check byte), and the frames of the stream in
// position order with lost frames rebuilt from the recovery packets of their group.
#include "transport/ReferenceCode.h"
#include "transport/TransportPackets.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace streamdecoder {

using Bytes = std::vector<std::uint8_t>;
using Key = std::array<std::uint8_t, 16>;

// Splits a packet file into packets; nothing when the file ends inside a packet.
std::optional<std::vector<Bytes>> splitPacketFile(const Bytes& file);

// CRC-8, polynomial 0x07, initial value 0, no reflection, no final XOR.
std::uint8_t crc8(const std::uint8_t* data, std::size_t length);

// A protected packet back to the packet as the sender built it; nothing when the check byte
// does not match (wrong key, damaged packet) or the packet is too short to hold one.
std::optional<Bytes> unprotect(const Bytes& packet, const Key& key);

// Key text of 32 hexadecimal digits; nothing for anything else.
std::optional<Key> parseKey(const std::string& text);

struct StreamFrame {
    transporttest::FrameFieldsRead header;
    Bytes packet;          // the whole frame packet, header and payload
    bool rebuilt = false;  // came back from recovery packets
    Bytes payload() const { return Bytes(packet.begin() + static_cast<std::ptrdiff_t>(header.headerBytes), packet.end()); }
};

struct ReceivedStream {
    std::vector<StreamFrame> frames;  // in stream position order
    std::size_t rejectedPackets = 0;  // failed the check byte or could not be parsed
    std::size_t groupsBeyondRepair = 0;
};

// Orders the frames of the received packets by stream position and rebuilds lost ones where a
// group kept enough packets. A frame's place in its group follows from its position, which
// assumes that the frames of one group have equal sample counts, as the encoder's frames do.
ReceivedStream receiveStream(const std::vector<Bytes>& packets, const std::optional<Key>& key);

}  // namespace streamdecoder
