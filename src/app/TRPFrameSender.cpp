#include "app/TRPFrameSender.h"

#include "transport/TRPSender.h"

std::uint32_t TRPFrameSender::sendFrame(const std::uint8_t* frame, std::int32_t version, std::uint32_t frameLength,
                                        std::uint32_t sampleCount, bool resetBlock, bool differenceCoding,
                                        bool thirdChannelSilent, bool sourceFlag, bool stamped, float gpsOffset,
                                        std::int32_t gpsSecond, float level) {
    return sender.sendFrame(frame, version, frameLength, sampleCount, resetBlock, differenceCoding, thirdChannelSilent,
                            sourceFlag, stamped, gpsOffset, gpsSecond, level);
}
