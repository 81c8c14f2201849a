#pragma once

#include "codec/Encoder.h"
#include "codec/LegacyEncoder.h"

#include <cstdint>

namespace kestrava::codec::entropy { class EntropyCoder; }

namespace kestrava::codec::frame {

// The reset block at the start of a frame that resynchronises the decoder: stream parameters,
// then one channel record per main channel (captured by ResetCapture), in Plus mode in the short
// form, optionally followed by the variable-rate block.
//
//   0 pilot level | 1 RDS level | 2-3 bit rate (BE) | 4 flags | 5.. record A | record B | [rate block]
//   flags: 0x80 RDS (spectrum) flag, 0x40 Plus mode (14-byte records), 0x20 rate block follows
//   long form 41 bytes; short form 33; short form + rate block (noise byte, max rate BE) 36
//
// prepare() captures the generation's state, reconfigures its rate control (and for the legacy
// generation its level tables) and the entropy coder, and writes the block. Feed thread only.
class ResetPacket {
public:
    static constexpr std::uint32_t maxLength = 41;

    struct Inputs {
        std::int32_t bitRate = 320;     // kbit/s, as read from the settings now
        std::int32_t codecVersion = 3;  // 0..3
        bool plusMode = false;
        bool variableBitRate = false;
        std::int32_t vbrNoiseLevel = 32;
        std::int32_t vbrMaxBitRate = 0;  // 0: none
        float pilotLevel = 0.0f;         // 0..1
        float rdsLevel = 0.0f;           // 0..1
        bool spectrumFlag = false;
    };

    struct Generations {
        kestrava::codec::Encoder<double, 0>* doubleEncoder = nullptr;
        kestrava::codec::Encoder<float, 4>* floatEncoder = nullptr;
        kestrava::codec::LegacyEncoder* legacyEncoder = nullptr;
    };

    // Writes the block at out (at least maxLength bytes) and returns its length; 0 when no
    // generation is given (nothing written). The first non-null generation in the order double,
    // float, legacy is used.
    static std::uint32_t prepare(const Inputs& inputs, const Generations& generations, kestrava::codec::entropy::EntropyCoder& coder,
                                 std::uint8_t* out);

    // The rate block's noise byte: halves the excess above 8192, 4096, ..., 32 in turn.
    static std::uint8_t compressNoiseLevel(std::int32_t noiseLevel);
    // n = 2^k with k = (rate - 64) / 64 rounded half up in single precision, k limited to 0..20.
    static std::int32_t legacyRange(std::int32_t rateKbps);
};

}  // namespace kestrava::codec::frame
