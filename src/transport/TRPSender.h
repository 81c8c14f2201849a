#pragma once

#include "platform/NonCopyable.h"
#include "transport/PacketSink.h"
#include "transport/RedundancyGroup.h"

#include <cstdint>
#include <functional>
#include <memory>

class KestravaInstanceConfig;

namespace kestrava::transport {

// The transport sender of an encoder: puts the frame header in front of each coded frame, queues
// the packet into a PacketSink with priority Frame, keeps a copy in the current redundancy group
// (whose recovery packets follow the frame that closes it) and numbers the samples of the stream.
// It owns no socket and no thread: the sink is the UDP output, or a recording sink offline.
//
// The stream position counts samples at the nominal input rate modulo 2^32; it starts at a random
// value trunc(r / 32767 * 2^32) with r in 0..32767, so a restarted encoder does not repeat the
// numbers of the one before. Only its low 32 bits reach the wire.
//
// sendFrame runs on one thread at a time (the encoder feed thread); the sink and the
// configuration must outlive the sender.
class TRPSender : kestrava::NonCopyable {
public:
    static constexpr std::uint32_t maxPacketBytes = 2048;
    static constexpr std::uint64_t positionModulus = std::uint64_t{1} << 32;
    static constexpr std::uint32_t largestStartDraw = 32767;

    // Yields r for the first stream position, 0..32767 (larger values are reduced modulo 32768).
    using StartDraw = std::function<std::uint32_t()>;

    // Draws the start from the system's cryptographic generator.
    TRPSender(KestravaInstanceConfig* config, TRP::PacketSink& sink);
    TRPSender(KestravaInstanceConfig* config, TRP::PacketSink& sink, const StartDraw& drawStart);
    ~TRPSender();

    // Builds the frame packet, queues it and hands it to the redundancy group, then advances the
    // stream position by sampleCount. Returns the packet length (header plus payload). A packet
    // of more than 2048 bytes is never queued, and never cut: "Packet too large! {} bytes" is
    // logged, it joins no group, the position still advances (the receiver sees the gap) and
    // the result is 0, so that the caller skips rate control and resets the coder. A packet of
    // exactly 2048 bytes is reported the same way but leaves whole, unless stream protection is
    // on: its protected form would be 2049 bytes, so it is refused like a longer one.
    std::uint32_t sendFrame(const std::uint8_t* payload, std::int32_t version, std::uint32_t payloadLength,
                            std::uint32_t sampleCount, bool resetBlock, bool differenceCoding,
                            bool thirdChannelSilent, bool sourceFlag, bool stamped, float gpsOffset,
                            std::int32_t gpsSecond, float level);

    // The number of the first sample of the next frame (0..2^32 inclusive before the first frame).
    std::uint64_t streamPosition() const { return position; }
    // False when the group could not be allocated: frames then go out without redundancy.
    bool hasRedundancyGroup() const { return group != nullptr; }

private:
    KestravaInstanceConfig* const config;
    TRP::PacketSink& sink;
    std::uint64_t position = 0;
    std::unique_ptr<RedundancyGroup> group;
    alignas(64) std::uint8_t frameBuffer[maxPacketBytes] = {};
};

}  // namespace kestrava::transport
