#pragma once

#include "platform/AlignedNew.h"
#include "transport/ErasureCoder.h"
#include "transport/PacketSink.h"

#include <cstdint>

class KestravaInstanceConfig;

namespace kestrava::transport {

// Collects copies of consecutive frame packets and, when k of them are held, queues m recovery
// packets behind the frame that closed the group (priority Redundancy). k and m are read from
// the engine settings at every frame; with either out of range (k < 1, m < 1, k + m > 256)
// redundancy is off and a partly filled group stays frozen until it is on again. Lowering k
// below the frames held closes the group with the next frame.
//
// Every frame of a group is prepared to one block length B (the largest frame rounded up to a
// multiple of 8) before coding: bytes from its end to B are zero, its pad B - length is stored in
// its last byte (pad 1..255, class 1) or big-endian in its last two (pad >= 256, class 2), and
// the class goes into bits 0x0C of its flags byte, so that a receiver learns the length of a
// rebuilt frame. A recovery packet is 11 + B bytes; groups whose packets would reach 2048 bytes
// send none, which is logged for the first such group of a run and then once per 1024 groups.
//
// One thread (the one sending frames) uses a group; nothing is locked and nothing is allocated
// after construction. Large (about 1 MB): create it with new, which yields null when out of memory.
class RedundancyGroup : public kestrava::AlignedNew {
public:
    static constexpr std::int32_t maxRows = 256;
    static constexpr std::uint32_t maxPacketBytes = 2048;

    RedundancyGroup(KestravaInstanceConfig* config, TRP::PacketSink& sink);

    // Called for every frame right after it was queued: `length` is header plus payload (at most
    // 2048 bytes are kept), `position` the stream position written into the frame.
    void addFrame(const std::uint8_t* packet, std::uint32_t length, std::uint64_t position, std::uint32_t sampleCount);

    // Frames of the current group held so far.
    std::int32_t frameCount() const { return heldFrames; }

    // Whether k and m of the settings switch redundancy on.
    static bool isOn(std::int32_t k, std::int32_t m) { return k >= 1 && m >= 1 && k + m <= maxRows; }

private:
    struct RedundancyRow {
        std::uint32_t length;
        alignas(64) std::uint8_t data[maxPacketBytes];
    };

    void sendRecoveryPackets(std::uint32_t sampleCount);
    void padRows(std::uint32_t blockBytes);

    KestravaInstanceConfig* const config;
    TRP::PacketSink& sink;
    RedundancyRow rows[maxRows];
    const std::uint8_t* rowData[maxRows];
    alignas(64) std::uint8_t recoveryBlocks[maxRows * maxPacketBytes];
    alignas(64) std::uint8_t packet[maxPacketBytes];
    std::uint32_t largestLength = 0;
    std::int32_t heldFrames = 0;
    std::uint64_t firstPosition = 0;
    std::int32_t span = 0;
    std::int32_t overhead = 0;
    std::uint32_t tooLargeRun = 0;  // consecutive groups whose packets were too large
    ErasureCoder coder;
};

}  // namespace kestrava::transport
