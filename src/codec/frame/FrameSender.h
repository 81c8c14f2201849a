#pragma once

#include <cstdint>

namespace kestrava::codec::frame {

// The transport sender as the encode step sees it: one coded frame in, one transport packet out.
// The transport sender implements it (or an adapter around it); tests record the calls.
class FrameSender {
public:
    virtual ~FrameSender() = default;
    // Puts the transport header in front of `frame` and queues the packet. Returns the packet
    // length (header plus frame), or 0 when the packet was not sent (too long, refused); the
    // sender has logged why. Called on the encoder feed thread only.
    virtual std::uint32_t sendFrame(const std::uint8_t* frame, std::int32_t version, std::uint32_t frameLength,
                                    std::uint32_t sampleCount, bool resetBlock, bool differenceCoding,
                                    bool thirdChannelSilent, bool sourceFlag, bool stamped, float gpsOffset,
                                    std::int32_t gpsSecond, float level) = 0;
};

}  // namespace kestrava::codec::frame
