#pragma once

#include <cstdint>

namespace kestrava::transport {

// The header in front of every frame packet: version byte, flags byte and the bit-packed fields.
//
//  byte 0   version (low 8 bits of the codec version)
//  byte 1   flags:  7 6 5 4 3 2 1 0
//                   | | | | | | | +-- 0x01 GPS stamp follows (versions 1 and up);
//                   | | | | | | |          version 0: first bit of the stream position
//                   | | | | | | +---- 0x02 source flag
//                   | | | | +-+------ 0x08/0x04 pad class; 0 as queued (see RedundancyGroup)
//                   | | | +---------- 0x10 third channel silent, its data left out
//                   | | +------------ 0x20 second main channel coded as a difference
//                   | +-------------- 0x40 payload begins with a reset block
//                   +---------------- 0x80 0 = frame packet (1 marks a recovery packet)
//
//  then, most significant bit first, from byte 2 bit 7 (version 0: from byte 1 bit 0):
//
//   +-------------+-------------+------+----------+---------------------+-----------------+
//   | GPS second  | GPS offset  | lvl  | level    | stream position     | sample count    |
//   | 17 bits     | 20 bits     | flag | 11 bits  | 32 bits             | 16 bits         |
//   | v>=1 and    | v>=1 and    | v>=3 | v>=3 and | always              | always          |
//   | stamped     | stamped     |      | flag = 1 |                     |                 |
//   +-------------+-------------+------+----------+---------------------+-----------------+
//
//  The rest of the last byte is zero; the payload starts at the next byte. Header lengths:
//  8 (v0; v1-2 unstamped), 13 (v1-2 stamped), 9/10 (v3 unstamped without/with level),
//  13/15 (v3 stamped without/with level).
struct FrameHeaderFields {
    std::int32_t version = 3;
    bool resetBlock = false;
    bool differenceCoding = false;
    bool thirdChannelSilent = false;
    bool sourceFlag = false;
    bool stamped = false;
    float gpsOffset = 0.0f;      // samples at 192,000 per second
    std::int32_t gpsSecond = 0;  // second of day
    float level = 1.0f;          // peak of the block, 1.0 full scale
    std::uint32_t position = 0;  // low 32 bits of the stream position
    std::uint32_t sampleCount = 0;
};

namespace FrameFlags {
inline constexpr std::uint8_t Recovery = 0x80;
inline constexpr std::uint8_t ResetBlock = 0x40;
inline constexpr std::uint8_t DifferenceCoding = 0x20;
inline constexpr std::uint8_t ThirdChannelSilent = 0x10;
inline constexpr std::uint8_t PadClassShift = 2;  // bits 0x0C
inline constexpr std::uint8_t SourceFlag = 0x02;
inline constexpr std::uint8_t Stamped = 0x01;
}  // namespace FrameFlags

inline constexpr std::uint32_t maxFrameHeaderBytes = 15;

// Writes the header to out (at least maxFrameHeaderBytes) and returns its length in bytes.
std::uint32_t writeFrameHeader(const FrameHeaderFields& fields, std::uint8_t* out);

// The 11-bit level field for a level below 0.9995, 1..2047; 0 when the level needs no field
// (0.9995 or more, or NaN). A negative level counts as 0.
std::uint32_t frameLevelField(float level);

// The 20-bit GPS offset field: the offset times 16 - 2^-16 in single precision, truncated toward
// zero, modulo 2^20. NaN gives 0; offsets beyond the 64-bit range saturate before the modulo.
std::uint32_t gpsOffsetField(float offset);

}  // namespace kestrava::transport
