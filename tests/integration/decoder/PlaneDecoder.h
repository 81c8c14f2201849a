#pragma once

// Runs the plane rebuilder of each frame's codec version over a decoded stream: a new rebuilder
// when the version changes, its state reloaded from every reset packet, three planes per frame.
// decodeStream already holds back the frames after a gap until the next reset packet, so every
// frame that reaches here follows an unbroken run from a reset packet.
#include "GenerationDecoder.h"
#include "StreamDecoder.h"

#include <array>
#include <cstdint>
#include <vector>

namespace streamdecoder {

struct DecodedPlanes {
    // One entry per frame rebuilt: its stream position and its three planes.
    std::vector<std::uint32_t> positions;
    std::vector<std::array<std::vector<float>, 3>> planes;
    std::size_t unsupportedFrames = 0;  // frames of a codec version without a rebuilder here
};

DecodedPlanes decodePlanes(const StreamDecodeResult& stream);

}  // namespace streamdecoder
