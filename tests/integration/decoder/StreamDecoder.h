#pragma once

// The whole reading of a packet stream: packets to frames (protection, recovery), frames to their
// sections and level codes. Decoding starts at the first frame with a reset packet; after a gap
// in the stream positions, or a frame that cannot be read, it waits for the next reset packet.
#include "FrameSections.h"

#include <stdexcept>

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

namespace streamdecoder {

struct DecoderOptions {
    std::optional<Key> key;
    std::uint32_t inputRate = 192000;
    std::ostream* diagnostics = nullptr;  // one line per frame when set
};

struct StreamDecodeResult {
    std::vector<DecodedFrame> frames;  // frames decoded, in stream order
    std::vector<std::uint32_t> positions;  // stream position of each decoded frame
    std::size_t skippedFrames = 0;     // received but waiting for a reset packet
    std::size_t unreadableFrames = 0;  // refused by the frame reader
    std::size_t gaps = 0;              // breaks in the stream positions
    ReceivedStream received;           // packet-level counts
};

StreamDecodeResult decodeStream(const std::vector<Bytes>& packets, const DecoderOptions& options);

}  // namespace streamdecoder
