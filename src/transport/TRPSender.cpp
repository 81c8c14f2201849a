#include "transport/TRPSender.h"

#include "logging/KestravaInstanceConfig.h"
#include "transport/FrameHeader.h"

#include <sodium.h>

#include <cstring>
#include <random>

namespace kestrava::transport {

namespace {

std::uint32_t drawFromSystem() {
    if (sodium_init() >= 0) return randombytes_uniform(TRPSender::largestStartDraw + 1);
    std::random_device device;
    return device();
}

std::uint64_t startPosition(std::uint32_t r) {
    r %= TRPSender::largestStartDraw + 1;
    // r = 32767 gives exactly 2^32, which goes out as 0.
    return static_cast<std::uint64_t>(r / 32767.0 * 4294967296.0);
}

}  // namespace

TRPSender::TRPSender(KestravaInstanceConfig* config, TRP::PacketSink& sink) : TRPSender(config, sink, drawFromSystem) {}

TRPSender::TRPSender(KestravaInstanceConfig* config, TRP::PacketSink& sink, const StartDraw& drawStart)
    : config(config), sink(sink) {
    // A failed allocation is reported on standard error by the allocator; the sender then works
    // without redundancy.
    group.reset(new RedundancyGroup(config, sink));
    position = startPosition(drawStart());
}

TRPSender::~TRPSender() = default;

std::uint32_t TRPSender::sendFrame(const std::uint8_t* payload, std::int32_t version, std::uint32_t payloadLength,
                                   std::uint32_t sampleCount, bool resetBlock, bool differenceCoding,
                                   bool thirdChannelSilent, bool sourceFlag, bool stamped, float gpsOffset,
                                   std::int32_t gpsSecond, float level) {
    FrameHeaderFields fields;
    fields.version = version;
    fields.resetBlock = resetBlock;
    fields.differenceCoding = differenceCoding;
    fields.thirdChannelSilent = thirdChannelSilent;
    fields.sourceFlag = sourceFlag;
    fields.stamped = stamped;
    fields.gpsOffset = gpsOffset;
    fields.gpsSecond = gpsSecond;
    fields.level = level;
    fields.position = static_cast<std::uint32_t>(position);
    fields.sampleCount = sampleCount;
    const std::uint32_t headerLength = writeFrameHeader(fields, frameBuffer);
    const std::uint64_t fullLength = std::uint64_t{headerLength} + payloadLength;
    const std::uint64_t framePosition = position;
    position = (position + sampleCount) % positionModulus;

    if (fullLength >= maxPacketBytes) {
        config->logger.log(1, KestravaLogger::Error, "Packet too large! {} bytes", fullLength);
        // Protection adds a byte, and receivers take at most 2048.
        const bool grows = config->engine.streamProtection.load(std::memory_order_relaxed);
        if (fullLength > maxPacketBytes - (grows ? 1u : 0u)) return 0;
    }
    if (payloadLength != 0) std::memcpy(frameBuffer + headerLength, payload, payloadLength);
    const auto length = static_cast<std::uint32_t>(fullLength);
    sink.enqueue(frameBuffer, length, TRP::Priority::Frame);
    if (group != nullptr) group->addFrame(frameBuffer, length, framePosition, sampleCount);
    return length;
}

}  // namespace kestrava::transport
