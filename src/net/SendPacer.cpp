#include "net/SendPacer.h"

#include "logging/KestravaInstanceConfig.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace TRP = kestrava::transport::TRP;

namespace kestrava::net {

namespace {

constexpr std::int64_t nsPerMs = 1'000'000;
constexpr std::int64_t nsPerSecond = 1'000'000'000;
// Waits up to this long are always taken as pacing; longer ones only when the last packet's own
// spacing explains them (a slow limit with large packets), otherwise the clock has jumped.
constexpr std::int64_t plainWaitLimitNs = 100 * nsPerMs;
// The schedule may run up to 1 ms ahead because pauses are truncated to whole milliseconds.
constexpr std::int64_t scheduleSlackNs = 2 * nsPerMs;

std::int64_t saturatingNs(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
    if (value <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

}  // namespace

std::int32_t maxDelayMs(const RateLimiterInputs& in) {
    const float a = static_cast<float>(in.blockLength) / static_cast<float>(in.inputSampleRate);
    const float b = static_cast<float>(in.bitrate) * 1000.0f;
    const float c = static_cast<float>(in.redundancyOverhead) * b;
    const float d = c * a;
    const float e = static_cast<float>(in.rateLimit) * 8.0f;
    const float f = d / e;
    const float g = f * 1500.0f;
    const float h = g + 50.99f;
    if (!std::isfinite(h)) return 50;  // no usable frame length or limit: only the fixed allowance
    if (h >= 2147483647.0f) return std::numeric_limits<std::int32_t>::max();
    if (h <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(h);
}

RateLimiterInputs SendPacer::readInputs(const KestravaInstanceConfig& config) {
    RateLimiterInputs in;
    in.rateLimit = static_cast<std::uint32_t>(config.engine.rateLimit.load());
    in.bitrate = config.engine.bitrate.load();
    in.redundancyOverhead = config.engine.redundancyOverhead.load();
    in.blockLength = config.blockLength;
    in.inputSampleRate = config.values.inputSampleRate.load();
    return in;
}

SendPacer::SendPacer(KestravaInstanceConfig* config_, PacketQueue& queue_, SendTiming& timing_,
                     std::function<std::uint32_t()> sendNext_)
    : config(config_), queue(queue_), timing(timing_), sendNext(std::move(sendNext_)), nextSendTime(timing.nowNs()) {}

void SendPacer::reportClockProblem(std::int64_t wait) {
    config->statusMessages.postTimedStatusMessage(StatusWarning, 0, "Unexpected clock value (NTP sync?), offset {}",
                                                  wait);
    config->logger.log(1, KestravaLogger::Critical, "Unexpected clock value (NTP sync?), offset {}", wait);
}

bool SendPacer::cycle() {
    const RateLimiterInputs in = readInputs(*config);
    if (in.rateLimit == 0) {
        if (rateLimitActive) config->logger.log(1, KestravaLogger::Info, "Rate limiter disabled");
        rateLimitActive = false;
        sendNext();
        return true;
    }
    if (!rateLimitActive) {
        config->logger.log(1, KestravaLogger::Info, "Enabling rate limiter: max {} bytes per second", in.rateLimit);
        rateLimitActive = true;
    }
    const std::int64_t now = timing.nowNs();
    const PacketQueue::HeadInfo head = queue.head();
    if (head.count == 0) return true;

    if (head.priority == TRP::Priority::Redundancy) {
        const std::int64_t deadline = head.newestEnqueueTime + static_cast<std::int64_t>(maxDelayMs(in)) * nsPerMs;
        const std::int64_t drainTime =
            saturatingNs(static_cast<double>(head.queuedBytes) / static_cast<double>(in.rateLimit) * 1e9);
        if (deadline < now + drainTime) {
            queue.dropHead();
            ++droppedPackets;
            return true;
        }
        if (droppedPackets > 0) {
            config->logger.log(1, KestravaLogger::Info, "Bit rate exceeded - rate limiter dropped {} lower-priority packets",
                               droppedPackets);
            droppedPackets = 0;
        }
    }

    const std::int64_t wait = nextSendTime - now;
    if (wait > 0) {
        if (wait <= std::max(plainWaitLimitNs, lastSpacing + scheduleSlackNs)) {
            if (timing.pause(wait / nsPerMs * nsPerMs)) return false;
        } else {
            // The schedule lies further ahead than any packet could have put it: the clock
            // jumped. Restart the schedule now and send the head at once, so that packets and
            // wake-ups stay in step.
            reportClockProblem(wait);
            nextSendTime = now;
        }
    }

    const std::uint32_t length = sendNext();
    const std::int64_t spacing =
        saturatingNs(static_cast<double>(length) / static_cast<double>(in.rateLimit) * static_cast<double>(nsPerSecond));
    if (queue.size() > 0) {
        nextSendTime += spacing;
    } else {
        nextSendTime = timing.nowNs() + spacing;
    }
    lastSpacing = spacing;
    return true;
}

}  // namespace kestrava::net
