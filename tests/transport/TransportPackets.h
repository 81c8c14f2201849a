#pragma once

// Test-side reading of transport packets, written from the wire layout alone (not from the
// sender's code): a most-significant-bit-first reader, the fields of frame and recovery headers,
// the removal of a rebuilt frame's padding, and a sink that records what is queued.
#include "transport/PacketSink.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace transporttest {

using Bytes = std::vector<std::uint8_t>;

class BitReader {
public:
    BitReader(const Bytes& bytes, std::size_t startBit) : bytes(bytes), bit(startBit) {}
    std::uint32_t get(int width) {
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i, ++bit) value = (value << 1) | ((bytes.at(bit / 8) >> (7 - bit % 8)) & 1u);
        return value;
    }
    std::size_t bytesUsed() const { return (bit + 7) / 8; }

private:
    const Bytes& bytes;
    std::size_t bit;
};

struct FrameFieldsRead {
    int version = 0;
    std::uint8_t flags = 0;
    bool stamped = false;
    std::uint32_t gpsSecond = 0, gpsOffset = 0;
    bool hasLevel = false;
    std::uint32_t level = 0;
    std::uint32_t position = 0, sampleCount = 0;
    std::size_t headerBytes = 0;
};

inline FrameFieldsRead readFrameHeader(const Bytes& packet) {
    FrameFieldsRead f;
    f.version = packet.at(0);
    f.flags = packet.at(1);
    BitReader bits(packet, f.version == 0 ? 15 : 16);
    f.stamped = f.version >= 1 && (f.flags & 0x01) != 0;
    if (f.stamped) {
        f.gpsSecond = bits.get(17);
        f.gpsOffset = bits.get(20);
    }
    if (f.version >= 3) {
        f.hasLevel = bits.get(1) != 0;
        if (f.hasLevel) f.level = bits.get(11);
    }
    f.position = bits.get(32);
    f.sampleCount = bits.get(16);
    f.headerBytes = bits.bytesUsed();
    return f;
}

struct RecoveryFieldsRead {
    int version = 0;
    bool marked = false;
    std::uint32_t firstPosition = 0, sampleCount = 0, index = 0, k = 0, m = 0, tail = 0;
};

inline RecoveryFieldsRead readRecoveryHeader(const Bytes& packet) {
    RecoveryFieldsRead r;
    r.version = packet.at(0);
    BitReader bits(packet, 8);
    r.marked = bits.get(1) != 0;
    r.firstPosition = bits.get(32);
    r.sampleCount = bits.get(16);
    r.index = bits.get(8);
    r.k = bits.get(8);
    r.m = bits.get(8);
    r.tail = bits.get(7);
    return r;
}

// A frame as the group coded it (B bytes, pad class in bits 0x0C of byte 1, pad count in the last
// one or two bytes) back to the packet as it was queued; nothing when the padding is malformed.
inline std::optional<Bytes> unpad(Bytes block) {
    const std::size_t b = block.size();
    if (b < 2) return std::nullopt;
    const int padClass = (block.at(1) >> 2) & 3;
    std::size_t pad = 0;
    if (padClass == 1) pad = block[b - 1];
    if (padClass == 2) pad = block[b - 2] * 256u + block[b - 1];
    if (padClass == 3 || pad > b) return std::nullopt;
    block.erase(block.end() - static_cast<std::ptrdiff_t>(pad), block.end());
    block[1] &= static_cast<std::uint8_t>(~0x0Cu);
    return block;
}

struct Queued {
    Bytes bytes;
    kestrava::transport::TRP::Priority priority;
    bool isRecovery() const { return priority == kestrava::transport::TRP::Priority::Redundancy; }
};

class RecordingSink final : public kestrava::transport::TRP::PacketSink {
public:
    void enqueue(const std::uint8_t* data, std::uint32_t length, kestrava::transport::TRP::Priority priority) override {
        packets.push_back({Bytes(data, data + length), priority});
    }
    std::vector<Queued> packets;
};

// Hexadecimal bytes "01 22 89" to a byte vector.
inline Bytes hex(const char* text) {
    Bytes out;
    unsigned value = 0;
    int digits = 0;
    for (const char* p = text;; ++p) {
        const char c = *p;
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
        if (d >= 0) {
            value = value * 16 + static_cast<unsigned>(d);
            ++digits;
        } else {
            if (digits > 0) out.push_back(static_cast<std::uint8_t>(value));
            value = 0;
            digits = 0;
            if (c == '\0') break;
        }
    }
    return out;
}

}  // namespace transporttest
