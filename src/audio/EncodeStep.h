#pragma once

#include "audio/BlockView.h"

#include <cstdint>

namespace kestrava::audio {

// The per-block encode step that runs once per claimed block: it codes the block's records into
// one frame and hands it to the transport sender. It runs on the feed thread only (or on the
// thread of an owner that claims the blocks itself). The result (bytes sent, or a negative value
// for a frame not sent) is not used by the feed loop.
class EncodeStep {
public:
    virtual ~EncodeStep() = default;
    virtual std::int32_t encodeAndSendBlock(const BlockView& block) = 0;
};

}  // namespace kestrava::audio
