#pragma once

// The sections of one coded frame behind its transport header: the reset packet when the frame
// carries one, the pilot phase field, the RDS section and the entropy streams of the three
// channel planes. The stream parameters come from the last reset packet, so a reader that joins
// a stream skips frames until the first one that carries a reset packet.
#include "StreamPackets.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace streamdecoder {

struct ChannelRecord {
    std::array<std::uint8_t, 16> history{};  // bytes 12..15 are 0 in the short form
    std::uint8_t power = 0, qualityScale = 0;
};

struct ResetPacket {
    std::uint8_t pilotLevel = 0, rdsLevel = 0;
    std::uint16_t bitRate = 0;
    bool spectrumFlag = false, plusMode = false, variableBitRate = false;
    std::array<ChannelRecord, 2> records;
    std::uint8_t noiseLevel = 0;    // rate block, when variableBitRate
    std::uint16_t maxBitRate = 0;   // rate block, when variableBitRate
    std::size_t length = 0;         // 41, 33 or 36
};

struct RdsSection {
    bool carry = false, boundary = false;
    int bitCount = 0;
    std::uint16_t nextPhase = 0;
    std::vector<std::uint8_t> bits;  // one entry per data bit
    std::size_t length = 0;
};

// What the reset packets set for the frames that follow them.
struct StreamParameters {
    int version = 0;
    std::int32_t bitRate = 0;
    int escapeBits = 0;    // raw magnitude bits after an escape
    int legacyRange = 0;   // version 0: largest magnitude with a code of its own
};

struct DecodedFrame {
    std::optional<ResetPacket> reset;
    std::uint16_t pilotPhase = 0;
    RdsSection rds;
    bool difference = false, thirdSilent = false;
    std::size_t planeLength = 0;                        // codes per channel
    std::array<std::vector<std::int32_t>, 3> codes;     // first main, second main, third
    StreamParameters parameters;
    std::size_t packetLength = 0;  // the whole frame packet, header included
    std::size_t resetLength = 0;   // bytes of the reset packet in it, 0 without one
    // What the encoder's rate control learned from this frame: the packet less its reset packet.
    std::size_t rateBytes() const { return packetLength - resetLength; }
};

// Codes per channel of a frame of `sampleCount` input samples at `inputRate`.
std::size_t planeLength(std::uint32_t sampleCount, std::uint32_t inputRate);

// Escape width and legacy range that a reset packet sets for a codec version.
StreamParameters parametersOf(int version, const ResetPacket& reset);

// Reads the frame; `parameters` is updated by a reset packet and must be set (by an earlier
// reset packet) for a frame without one. Throws std::out_of_range on a frame that cannot be
// read, including one with bytes left over behind its last stream.
DecodedFrame decodeFrame(const StreamFrame& frame, std::optional<StreamParameters>& parameters,
                         std::uint32_t inputRate);

}  // namespace streamdecoder
