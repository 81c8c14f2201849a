#pragma once

#include "audio/DemodulatedSample.h"
#include "codec/entropy/BitWriter.h"

#include <cstdint>

class KestravaInstanceConfig;

namespace kestrava::codec::frame {

// The RDS section of a frame: follows the bit clock of the baseband RDS signal (the records' rds
// field, biphase data at 1187.5 bit/s) with two trackers (bit rate on the signal, twice the bit
// rate on its square), decides half bits by correlating with a reference of the combined phase,
// pairs them into data bits and writes them while RDS is considered present.
//
//   byte 0: [carry 7][boundary 6][K mod 64, bits 5..0]   bytes 1-2: next bit phase x 65536 (BE)
//   bytes 3..: K data bits, MSB first, low bits of the last byte 0      length 3 + ceil(K/8)
//
// K is at most 63 per section; decisions beyond that are dropped (the decoder could not count
// them). All signal arithmetic is single precision. Feed thread only.
class RdsEncoder {
public:
    static constexpr std::uint32_t maxDataBits = 63;
    static constexpr std::uint32_t maxSectionLength = 3 + (maxDataBits + 7) / 8;
    static constexpr std::uint32_t halfBitCapacity = 4096;

    explicit RdsEncoder(KestravaInstanceConfig* config);

    // Writes the section for `count` records at out (room for maxSectionLength bytes) and returns
    // its length. Set bitStep and decisionStep to bitRate / input rate before.
    std::uint32_t encodeBlock(const DemodulatedSample* records, std::uint32_t count, std::uint8_t* out);

    KestravaInstanceConfig* config;
    float bitRate = 1187.5f;
    kestrava::codec::entropy::BitWriter writer;
    float power = 0.0f;
    float sineTable[4098];
    float periodI[2] = {};
    float periodQ[2] = {};
    bool wrapped[2] = {};
    float phase[2] = {};
    float bitStep = 0.0f;
    float sumI[2] = {};
    float sumQ[2] = {};
    float historyI[2][64] = {};
    float historyQ[2][64] = {};
    std::int32_t historyIndex[2] = {};
    float lastReference = 0.0f;
    std::int32_t halfBits[halfBitCapacity];
    std::int32_t halfBitCount = 0;
    std::int32_t pairOffset = 0;
    std::int32_t shiftCount = 0;
    float correlation = 0.0f;
    float decisionStep = 0.0f;
    std::int32_t confidence = 0;
    bool rdsPresent = true;

private:
    // A tracker's phase correction depends on its sums alone, which change only when its bit
    // wraps: kept with the exact bits of the sums it was computed from.
    struct Correction {
        std::uint32_t sumIBits = 0;
        std::uint32_t sumQBits = 0;
        bool known = false;
        float step = 0.0f;
    };
    Correction correction[2];

    void track(int t, float p, float x);
    // The combined bit phase r (0..1) from the stored tracker phases.
    float bitPhase() const;
};

}  // namespace kestrava::codec::frame
