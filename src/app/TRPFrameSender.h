#pragma once

#include "codec/frame/FrameSender.h"

namespace kestrava::transport { class TRPSender; }

// The encode step's view of the transport sender: forwards every frame unchanged, so the
// encode step never depends on how the transport packs and protects it.
class TRPFrameSender final : public kestrava::codec::frame::FrameSender {
public:
    explicit TRPFrameSender(kestrava::transport::TRPSender& sender) : sender(sender) {}
    std::uint32_t sendFrame(const std::uint8_t* frame, std::int32_t version, std::uint32_t frameLength,
                            std::uint32_t sampleCount, bool resetBlock, bool differenceCoding, bool thirdChannelSilent,
                            bool sourceFlag, bool stamped, float gpsOffset, std::int32_t gpsSecond,
                            float level) override;

private:
    kestrava::transport::TRPSender& sender;
};
