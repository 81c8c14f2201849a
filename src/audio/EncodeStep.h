#pragma once

#include <cstdint>

class AudioSource;

// The per-block encode step that the encoder feed thread runs once per claimed block: it reads
// `count` records from the source's input ring into the source's block, codes one frame and hands
// it to the transport sender. It runs on the feed thread only. The result (bytes sent, or a
// negative value for a frame not sent) is not used by the feed loop.
class EncodeStep {
public:
    virtual ~EncodeStep() = default;
    virtual std::int32_t encodeAndSendBlock(AudioSource& source, std::uint32_t count, std::uint32_t inputRate) = 0;
};
