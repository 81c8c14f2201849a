#pragma once

#include "net/PacketQueue.h"
#include "net/SendTiming.h"
#include "platform/NonCopyable.h"

#include <cstdint>
#include <functional>

class KestravaInstanceConfig;

namespace kestrava::net {

// The values the rate limiter reads afresh in every cycle.
struct RateLimiterInputs {
    std::uint32_t rateLimit = 0;         // bytes per second, 0 = no limit
    std::int32_t bitrate = 0;            // kbit/s
    std::int32_t redundancyOverhead = 0;  // m, recovery packets per group
    std::int32_t blockLength = 0;        // records per frame
    std::int32_t inputSampleRate = 0;    // Hz
};

// How late, in ms after the newest queued packet, the backlog may finish draining before a
// recovery packet at the head is dropped: 1.5 times the time m frames' bits take at the limit,
// plus 50.99 ms, in single precision, truncated towards zero.
std::int32_t maxDelayMs(const RateLimiterInputs& inputs);

// One cycle of the send loop per queued packet: without a limit the head is sent at once; with a
// limit of R bytes per second packets are spaced by their queued length / R, and a recovery packet
// at the head is dropped when the backlog could not drain before its deadline. Frames are never
// dropped. Runs on the send thread only.
class SendPacer : kestrava::NonCopyable {
public:
    // sendNext sends the oldest packet and returns its queued length (0 when none).
    SendPacer(KestravaInstanceConfig* config, PacketQueue& queue, SendTiming& timing,
              std::function<std::uint32_t()> sendNext);

    // Handles the head packet; false when the loop is asked to stop during a pause.
    bool cycle();

    static RateLimiterInputs readInputs(const KestravaInstanceConfig& config);

private:
    void reportClockProblem(std::int64_t wait);

    KestravaInstanceConfig* const config;
    PacketQueue& queue;
    SendTiming& timing;
    std::function<std::uint32_t()> sendNext;
    std::int64_t nextSendTime;
    std::int64_t lastSpacing = 0;  // the spacing the last sent packet asked for
    bool rateLimitActive = false;
    std::int32_t droppedPackets = 0;
};

}  // namespace kestrava::net
