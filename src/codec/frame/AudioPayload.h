#pragma once

#include "platform/AlignedNew.h"

#include <array>
#include <cstdint>
#include <span>

namespace kestrava::codec::entropy { class EntropyCoder; }

namespace kestrava::codec::frame {

// The audio payload: the last section of a coded frame, the entropy-coded level codes of the
// block's three channels. The two main channels go either jointly (one stream of 2n values) or
// in difference form (plane 0, then plane 1 minus plane 0: two streams), whichever is shorter;
// then the third channel unless it is silent.
//
//   frameBuffer: [ reset block R ][ phase 2 ][ RDS D ][ main streams M ][ third stream T ]
//                 ^0                                   ^S = R + 2 + D
//
// Streams lie back to back with no length between them. The working arrays are fixed members:
// nothing is allocated per block. Used on the encoder feed thread only.
class AudioPayload : public kestrava::AlignedNew {
public:
    static constexpr std::uint32_t maxSampleCount = 8192;  // codes per plane
    static constexpr std::uint32_t bufferSize = 32768;     // frameBuffer and the scratch buffer

    struct Planes {
        std::span<const std::int32_t> first;   // first main channel
        std::span<const std::int32_t> second;  // second main channel
        std::span<const std::int32_t> third;   // third channel
    };

    struct Request {
        std::uint32_t sampleCount = 0;   // n, 1..8192
        std::uint32_t resetLength = 0;   // R
        std::uint32_t rdsLength = 0;     // D
        bool thirdSilent = false;        // every third-channel code is 0: no third stream
        std::int32_t rate = 0;           // bit-rate copy, kbit/s (run-length coder only)
        std::uint32_t codecVersion = 0;  // 0: legacy coders; any other: run-length coder
    };

    struct Result {
        std::uint32_t frameLength = 0;  // S + M
        bool difference = false;        // frame-header bit 0x20
        std::uint32_t thirdLength = 0;  // T; 0 when the third channel is silent
    };

    // Writes the payload into frameBuffer (bufferSize bytes) at S. False when the frame must
    // not be sent: n out of 1..8192, a plane shorter than n, S beyond the buffer, or the joint
    // or third-channel stream failed (the coder has logged why). A failed difference attempt
    // only leaves the joint form standing.
    bool encode(const Planes& planes, const Request& request, kestrava::codec::entropy::EntropyCoder& coder, std::uint8_t* frameBuffer,
                Result& result);

private:
    std::uint32_t code(kestrava::codec::entropy::EntropyCoder& coder, const Request& request, const std::int32_t* values, std::uint32_t count,
                       std::uint8_t* destination, std::uint32_t capacity, bool third);

    std::array<std::int32_t, 2 * maxSampleCount> jointCodes;
    std::array<std::int32_t, 2 * maxSampleCount> differenceCodes;
    std::array<std::uint8_t, bufferSize> payloadScratch;
};

}  // namespace kestrava::codec::frame
