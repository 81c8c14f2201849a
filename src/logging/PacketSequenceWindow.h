#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// Arrival offsets of a received stream's packets, kept per block of stream positions over the
// last 1024 blocks. Slot i covers the positions base - (k+1)*positionsPerSlot + 1 up to
// base - k*positionsPerSlot, where k = (head - i) mod 1024.
//
//   positions:  ... | slot head-2 | slot head-1 | slot head ]  <- base
struct PacketSequenceSlot {
    struct Minimum {
        bool valid = false;
        std::int32_t value = 0;
        void update(std::int32_t v) {
            value = valid ? (v < value ? v : value) : v;
            valid = true;
        }
    };
    Minimum extraMin;    // packets whose second flag is set
    Minimum plainMin;    // packets whose first flag is clear
    Minimum flaggedMin;  // packets whose first flag is set
};

struct PacketSequenceWindow {
    static constexpr int slotCount = 1024;

    PacketSequenceWindow(std::int32_t sampleRate, std::int32_t blockLength)
        : span(sampleRate * 30), positionsPerSlot(blockLength) {}

    // Enters one packet at a stream position, moving the window forward when the packet is ahead.
    void enter(std::uint64_t position, bool firstFlag, bool secondFlag);

    std::atomic<std::uint64_t> referencePosition{0};
    std::atomic<std::uint64_t> base{0};
    bool changed = false;
    std::int32_t receptionState = 0;  // 0 nothing yet, 1 receiving, 2 no packets for a while
    std::int32_t packetSeen = 0;
    std::array<PacketSequenceSlot, slotCount> slots{};
    std::int32_t head = 0;
    std::int32_t span;              // positions behind base a packet may still be entered
    std::int32_t positionsPerSlot;  // the block length
};
