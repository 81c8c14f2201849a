#pragma once

#include <cstdint>

namespace kestrava::transport {

// The header in front of every recovery block; the block follows at byte 11.
//
//  byte 0   version (low 8 bits of the codec version at the close of the group)
//  bytes 1..10, most significant bit first (as one 80-bit big-endian number:
//  2^79 + position * 2^47 + count * 2^31 + index * 2^23 + k * 2^15 + m * 2^7):
//
//   +---+-----------------------+-------------+--------+--------+--------+---------+
//   | 1 | first stream position | sample count| index  | k      | m      | 0000000 |
//   | 1 | 32 bits               | 16 bits     | 8 bits | 8 bits | 8 bits | 7 bits  |
//   +---+-----------------------+-------------+--------+--------+--------+---------+
//     ^ byte 1 bit 7: marks a recovery packet (frame packets have 0 there)
//
//  position: of the group's first frame; count: of the frame that closed the group; index:
//  0..m-1; k: frames in the group. Example: position 515, count 400, index 0, k 10, m 3 give
//  bytes 1..10 = 80 00 01 01 80 C8 00 05 01 80.
inline constexpr std::uint32_t recoveryHeaderBytes = 11;

struct RecoveryHeaderFields {
    std::int32_t version = 3;
    std::uint32_t firstPosition = 0;
    std::uint32_t sampleCount = 0;  // low 16 bits are sent
    std::uint32_t index = 0;        // low 8 bits
    std::uint32_t frameCount = 0;   // k, low 8 bits
    std::uint32_t overhead = 0;     // m, low 8 bits
};

// Writes the 11 header bytes to out.
void writeRecoveryHeader(const RecoveryHeaderFields& fields, std::uint8_t* out);

}  // namespace kestrava::transport
