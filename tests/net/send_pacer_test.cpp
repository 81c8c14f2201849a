#include "NetTestConfig.h"
#include "net/SendPacer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace TRP = kestrava::transport::TRP;

using kestrava::net::PacketQueue;
using kestrava::net::RateLimiterInputs;
using kestrava::net::SendPacer;
using TRP::Priority;

namespace {

constexpr std::int64_t ms = 1'000'000;

// A clock that only the pauses move (and the test, to fake a jump).
struct FakeTiming final : kestrava::net::SendTiming {
    std::int64_t nowNs() override { return now; }
    bool pause(std::int64_t ns) override {
        now += ns;
        return false;
    }
    std::int64_t now = 1000 * ms;
};

struct Sent {
    std::int64_t time;
    std::uint32_t length;
    Priority priority;
};

struct PacerFixture : testing::Test {
    PacerFixture() : pacer(&c.config, *queue, timing, [this] { return sendNext(); }) {}

    std::uint32_t sendNext() {
        if (!queue->pop(*slot)) return 0;
        sent.push_back({timing.now, slot->length, slot->priority});
        return slot->length;
    }
    void push(std::uint32_t length, Priority priority) {
        const std::vector<std::uint8_t> data(length, 0x42);
        ASSERT_TRUE(queue->push(data.data(), length, priority, timing.now));
    }
    void drain() {
        while (queue->size() > 0) ASSERT_TRUE(pacer.cycle());
    }

    nettest::CapturedConfig c;
    std::unique_ptr<PacketQueue> queue = std::make_unique<PacketQueue>();
    std::unique_ptr<kestrava::net::SenderSlot> slot = std::make_unique<kestrava::net::SenderSlot>();
    FakeTiming timing;
    SendPacer pacer;
    std::vector<Sent> sent;
};

}  // namespace

TEST(MaxDelay, OneAndAHalfTimesTheRecoveryBitsPlus50Point99Truncated) {
    const struct {
        std::int32_t bitrate, m, blockLength, rate;
        std::uint32_t limit;
        std::int32_t expected;
    } cases[] = {
        {320, 10, 2040, 192000, 500000, 63},  // 12.75 + 50.99 = 63.74
        {320, 0, 2040, 192000, 500000, 50},   // no recovery packets: 50.99 truncated
        {320, 10, 2040, 192000, 100000, 114},  // 63.75 + 50.99
        {320, 10, 2040, 0, 100000, 50},       // no input rate yet: only the fixed allowance
    };
    for (const auto& k : cases) {
        RateLimiterInputs in;
        in.bitrate = k.bitrate;
        in.redundancyOverhead = k.m;
        in.blockLength = k.blockLength;
        in.inputSampleRate = k.rate;
        in.rateLimit = k.limit;
        EXPECT_EQ(kestrava::net::maxDelayMs(in), k.expected) << "m " << k.m << " limit " << k.limit;
    }
}

TEST_F(PacerFixture, WithoutALimitEveryPacketLeavesAtOnceAndNothingIsDropped) {
    for (int i = 0; i < 10; ++i) push(1500, i % 2 == 0 ? Priority::Frame : Priority::Redundancy);
    const std::int64_t start = timing.now;
    drain();
    ASSERT_EQ(sent.size(), 10u);
    for (const Sent& s : sent) EXPECT_EQ(s.time, start);
}

TEST_F(PacerFixture, AtTheLimitPacketsAreSpacedByTheirLength) {
    c.config.engine.rateLimit = 100000;
    const std::int64_t start = timing.now;
    for (int i = 0; i < 20; ++i) push(1000, Priority::Frame);
    drain();
    ASSERT_EQ(sent.size(), 20u);
    for (std::size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i].time - start, static_cast<std::int64_t>(i) * 10 * ms) << i;
    // A packet that finds the queue empty after its scheduled time leaves at once.
    timing.now += 500 * ms;
    push(1000, Priority::Frame);
    drain();
    EXPECT_EQ(sent.back().time, timing.now);
    c.settleLog();
    EXPECT_EQ(c.log->count("Enabling rate limiter: max 100000 bytes per second"), 1u);
}

TEST_F(PacerFixture, LateRecoveryPacketsAtTheHeadAreDroppedAndFramesStillLeave) {
    c.config.engine.rateLimit = 100000;  // maxDelay 114 ms with the settings below
    c.config.engine.redundancyOverhead = 10;
    push(1000, Priority::Redundancy);
    for (int i = 0; i < 20; ++i) push(1000, Priority::Frame);  // 210 ms of backlog
    drain();
    ASSERT_EQ(sent.size(), 20u);
    for (const Sent& s : sent) EXPECT_EQ(s.priority, Priority::Frame);
    c.settleLog();
    EXPECT_EQ(c.log->count("Bit rate exceeded"), 0u);  // reported only when a later one passes
    timing.now += 1000 * ms;
    push(1000, Priority::Redundancy);
    drain();
    ASSERT_EQ(sent.size(), 21u);
    EXPECT_EQ(sent.back().priority, Priority::Redundancy);
    c.settleLog();
    EXPECT_EQ(c.log->count("Bit rate exceeded - rate limiter dropped 1 lower-priority packets"), 1u);
}

TEST_F(PacerFixture, SwitchingTheLimitOnAndOffIsLoggedOnceEach) {
    push(100, Priority::Frame);
    drain();
    c.config.engine.rateLimit = 100000;
    for (int i = 0; i < 3; ++i) push(100, Priority::Frame);
    drain();
    c.config.engine.rateLimit = 0;
    for (int i = 0; i < 3; ++i) push(100, Priority::Frame);
    drain();
    c.settleLog();
    EXPECT_EQ(c.log->count("Enabling rate limiter"), 1u);
    EXPECT_EQ(c.log->count("Rate limiter disabled"), 1u);
}

TEST_F(PacerFixture, ALongLegitimateWaitIsNotAClockJumpButARealJumpIs) {
    c.config.engine.rateLimit = 1000;  // a 1000-byte packet lasts one second at the limit
    const std::int64_t start = timing.now;
    push(1000, Priority::Frame);
    push(1000, Priority::Frame);
    drain();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].time - start, 1000 * ms);
    c.settleLog();
    EXPECT_EQ(c.log->count("Unexpected clock value"), 0u);
    // The clock steps back five seconds: the schedule now lies six seconds ahead.
    push(1000, Priority::Frame);
    timing.now -= 5000 * ms;
    drain();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].time, timing.now);  // sent at once, the schedule restarted
    c.settleLog();
    EXPECT_EQ(c.log->count("Unexpected clock value (NTP sync?), offset 6000000000"), 1u);
    ASSERT_FALSE(c.statusTexts().empty());
    EXPECT_NE(c.statusTexts().back().find("Unexpected clock value (NTP sync?), offset 6000000000"), std::string::npos);
}
