#include "transport/RedundancyGroup.h"

#include "logging/KestravaInstanceConfig.h"
#include "transport/FrameHeader.h"
#include "transport/RecoveryHeader.h"

#include <algorithm>
#include <cstring>

namespace kestrava::transport {

namespace {
// A run of oversized groups is reported at its first group and then once per this many groups.
constexpr std::uint32_t tooLargeReportEvery = 1024;
}  // namespace

RedundancyGroup::RedundancyGroup(KestravaInstanceConfig* config, TRP::PacketSink& sink)
    : config(config), sink(sink) {
    for (std::int32_t i = 0; i < maxRows; ++i) {
        rows[i].length = 0;
        std::memset(rows[i].data, 0, sizeof rows[i].data);
        rowData[i] = rows[i].data;
    }
    std::memset(packet, 0, sizeof packet);
}

void RedundancyGroup::addFrame(const std::uint8_t* frame, std::uint32_t length, std::uint64_t position,
                               std::uint32_t sampleCount) {
    span = config->engine.redundancyDelay.load(std::memory_order_relaxed);
    overhead = config->engine.redundancyOverhead.load(std::memory_order_relaxed);
    if (!isOn(span, overhead)) return;

    // heldFrames < span <= 255 here, so the row exists.
    const std::int32_t i = heldFrames;
    largestLength = std::max(largestLength, length);
    std::memcpy(rows[i].data, frame, std::min(length, maxPacketBytes));
    rows[i].length = length;
    if (i == 0) firstPosition = position;
    heldFrames = i + 1;
    if (heldFrames >= span) {
        sendRecoveryPackets(sampleCount);
        largestLength = 0;
        heldFrames = 0;
    }
}

void RedundancyGroup::padRows(std::uint32_t blockBytes) {
    for (std::int32_t i = 0; i < heldFrames; ++i) {
        std::uint8_t* data = rows[i].data;
        const std::uint32_t length = rows[i].length;
        const std::uint32_t pad = length < blockBytes ? blockBytes - length : 0;
        const std::uint8_t padClass = pad == 0 ? 0 : pad < 256 ? 1 : 2;
        data[1] = static_cast<std::uint8_t>(data[1] | (padClass << FrameFlags::PadClassShift));
        if (pad == 0) continue;
        // Rows are reused without clearing: this fill is what removes an earlier group's bytes.
        std::memset(data + length, 0, pad);
        if (padClass == 1) {
            data[blockBytes - 1] = static_cast<std::uint8_t>(pad);
        } else {
            data[blockBytes - 2] = static_cast<std::uint8_t>(pad >> 8);
            data[blockBytes - 1] = static_cast<std::uint8_t>(pad & 0xFF);
        }
    }
}

void RedundancyGroup::sendRecoveryPackets(std::uint32_t sampleCount) {
    const std::uint32_t blockBytes = std::min((largestLength + 7) & ~7u, maxPacketBytes);
    const std::uint32_t packetBytes = recoveryHeaderBytes + blockBytes;
    if (packetBytes >= maxPacketBytes) {
        // Every packet of the group has this length: report the group once, not each packet.
        if (tooLargeRun++ % tooLargeReportEvery == 0) {
            config->logger.log(1, KestravaLogger::Error, "Redundancy packet too large: {} bytes", packetBytes);
        }
        return;
    }
    tooLargeRun = 0;

    padRows(blockBytes);
    if (coder.encode(heldFrames, overhead, rowData, recoveryBlocks, blockBytes) != 0) {
        config->statusMessages.postStatusText(StatusNotice, "Failed to generate data for redundant blocks");
        config->logger.log(1, KestravaLogger::Warning, "Failed to generate data for redundant blocks");
        return;
    }

    RecoveryHeaderFields header;
    header.version = config->engine.codecVersion.load(std::memory_order_relaxed);
    header.firstPosition = static_cast<std::uint32_t>(firstPosition);
    header.sampleCount = sampleCount;
    header.frameCount = static_cast<std::uint32_t>(heldFrames);
    header.overhead = static_cast<std::uint32_t>(overhead);
    for (std::int32_t index = 0; index < overhead; ++index) {
        header.index = static_cast<std::uint32_t>(index);
        writeRecoveryHeader(header, packet);
        std::memcpy(packet + recoveryHeaderBytes, recoveryBlocks + static_cast<std::size_t>(index) * blockBytes,
                    blockBytes);
        sink.enqueue(packet, packetBytes, TRP::Priority::Redundancy);
    }
}

}  // namespace kestrava::transport
