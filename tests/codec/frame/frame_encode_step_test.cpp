#include "audio/BlockView.h"
#include "codec/frame/FrameEncodeStep.h"
#include "codec/frame/FrameSender.h"
#include "codec/frame/GpsStamper.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

using kestrava::codec::frame::FrameEncodeStep;
using kestrava::codec::frame::FrameSender;
using kestrava::codec::frame::GpsStamper;

namespace {

struct SentFrame {
    std::int32_t version;
    std::vector<std::uint8_t> bytes;
    std::uint32_t sampleCount;
    bool reset, difference, silent, sourceFlag, stamped;
    float offset;
    std::int32_t second;
    float level;
};

// Records every frame; answers with the frame plus a header of headerBytes, or 0 when refusing.
struct RecordingSender : FrameSender {
    static constexpr std::uint32_t headerBytes = 20;
    std::vector<SentFrame> frames;
    bool refuseNext = false;

    std::uint32_t sendFrame(const std::uint8_t* frame, std::int32_t version, std::uint32_t frameLength,
                            std::uint32_t sampleCount, bool resetBlock, bool differenceCoding, bool thirdChannelSilent,
                            bool sourceFlag, bool stamped, float gpsOffset, std::int32_t gpsSecond,
                            float level) override {
        frames.push_back({version, {frame, frame + frameLength}, sampleCount, resetBlock, differenceCoding,
                          thirdChannelSilent, sourceFlag, stamped, gpsOffset, gpsSecond, level});
        if (refuseNext) {
            refuseNext = false;
            return 0;
        }
        return frameLength + headerBytes;
    }
};

struct CountingGps : GpsStamper {
    bool isStarted = false;
    int starts = 0, stops = 0, processed = 0, resets = 0;
    double lastRate = -1.0;
    bool started() const override { return isStarted; }
    void start() override { isStarted = true, ++starts; }
    void stop() override { isStarted = false, ++stops; }
    void reset() override { ++resets; }
    bool process(std::uint32_t, double measuredRate, float& offset, std::int32_t& second) override {
        ++processed;
        lastRate = measuredRate;
        offset = 96.0f;
        second = 4321;
        return true;
    }
};

struct StepTest : testing::Test {
    explicit StepTest(std::int32_t sampleRate = 192000, std::int32_t blockLength = 2040)
        : config(sampleRate, blockLength) {}

    void SetUp() override {
        config.values.inputSampleRate = config.sampleRate;
        step.reset(new FrameEncodeStep(&config, &sender, &gps));
    }

    // Tones on left and right, a little noise on quad, a running pilot phase, a composite sample.
    void feed(std::uint32_t n, float lastPilot = NAN) {
        records.assign(n, DemodulatedSample{});
        std::normal_distribution<float> noise(0.0f, 0.01f);
        for (std::uint32_t i = 0; i < n; ++i, ++position) {
            const double t = static_cast<double>(position) / config.sampleRate;
            auto& r = records[i];
            r.left = static_cast<float>(0.3 * std::sin(2 * M_PI * 440 * t));
            r.right = static_cast<float>(0.2 * std::sin(2 * M_PI * 1000 * t + 0.5));
            r.quad = noise(random);
            r.pilot = static_cast<float>(std::fmod(19000.0 * t, 1.0));
            r.rds = 0.0f;
            r.mpx = r.left + r.right;
        }
        if (!std::isnan(lastPilot)) records[n - 1].pilot = lastPilot;
    }

    // The last fed records as one claimed block.
    BlockView view() {
        BlockView v;
        v.records = records.data();
        v.count = static_cast<std::uint32_t>(records.size());
        v.inputRate = static_cast<std::uint32_t>(config.sampleRate);
        v.signals = &signals;
        v.rateMeter = &rateMeter;
        return v;
    }

    std::int32_t block(std::uint32_t n = 2040, float lastPilot = NAN) {
        feed(n, lastPilot);
        return step->encodeAndSendBlock(view());
    }

    KestravaInstanceConfig config;
    SourceSignals signals;
    InputRateMeter rateMeter{192000, 0};
    std::vector<DemodulatedSample> records;
    RecordingSender sender;
    CountingGps gps;
    std::unique_ptr<FrameEncodeStep> step;
    std::mt19937 random{20261211};
    std::uint64_t position = 0;
};

// Ten seconds through the step: frame count, flags, reset cadence and packet size.
TEST_F(StepTest, TenSecondsOfBlocks) {
    const std::uint32_t blocks = 192000 * 10 / 2040;
    for (std::uint32_t b = 0; b < blocks; ++b) ASSERT_GT(block(), 0) << b;
    ASSERT_EQ(sender.frames.size(), blocks);
    for (std::uint32_t b = 0; b < blocks; ++b) {
        const SentFrame& f = sender.frames[b];
        SCOPED_TRACE(b);
        EXPECT_EQ(f.reset, b == 0 || b == 471);
        EXPECT_EQ(f.version, 3);
        EXPECT_EQ(f.sampleCount, 2040u);
        EXPECT_FALSE(f.sourceFlag);
        EXPECT_FALSE(f.stamped);
        EXPECT_EQ(f.offset, -1.0f);
        EXPECT_FALSE(f.silent);  // the quad channel carries noise
        EXPECT_LE(f.bytes.size() + RecordingSender::headerBytes, 2048u);
        EXPECT_NEAR(f.level, 0.5f, 0.01f);
        if (f.reset) {
            EXPECT_EQ(f.bytes[4] & 0x1F, 0);
        }
    }
}

TEST_F(StepTest, ResetIntervalZeroResetsEveryFrame) {
    config.engine.resetInterval = 0.0f;
    for (int b = 0; b < 4; ++b) block();
    for (const auto& f : sender.frames) EXPECT_TRUE(f.reset);
}

TEST_F(StepTest, VersionSwitches) {
    config.engine.bitrate = 320;
    struct Case {
        std::int32_t version;
        bool reset;
    };
    // 3 -> 1 makes a new generation and a reset; 1 -> 2 keeps it; 2 -> 0 makes a new one again.
    const Case cases[] = {{3, true}, {3, false}, {1, true}, {1, false}, {2, false}, {0, true}, {0, false}};
    for (const auto& c : cases) {
        config.engine.codecVersion = c.version;
        ASSERT_GT(block(), 0);
        const SentFrame& f = sender.frames.back();
        EXPECT_EQ(f.version, c.version);
        EXPECT_EQ(f.reset, c.reset) << c.version;
        const int live = (step->doubleEncoder != nullptr) + (step->floatEncoder != nullptr) +
                         (step->legacyEncoder != nullptr);
        EXPECT_EQ(live, 1);
    }
}

TEST_F(StepTest, PhaseBytes) {
    struct Case {
        float pilot;
        std::uint8_t high, low;
    };
    for (const Case c : {Case{-0.25f, 0xC0, 0x00}, Case{0.5f, 0x80, 0x00}, Case{0.999999f, 0xFF, 0xFF},
                         Case{1.0f, 0x00, 0x00}}) {
        block(2040, c.pilot);
        const SentFrame& f = sender.frames.back();
        const std::size_t r = f.reset ? 41 : 0;
        EXPECT_EQ(f.bytes[r], c.high) << c.pilot;
        EXPECT_EQ(f.bytes[r + 1], c.low) << c.pilot;
    }
}

TEST_F(StepTest, RefusedFrameMakesTheNextOneReset) {
    block();
    block();
    sender.refuseNext = true;
    EXPECT_EQ(block(), -1);
    block();
    ASSERT_EQ(sender.frames.size(), 4u);
    EXPECT_FALSE(sender.frames[1].reset);
    EXPECT_TRUE(sender.frames[3].reset);
}

TEST_F(StepTest, GpsStampsWhileEnabled) {
    config.engine.gpsTimeEncoding = true;
    block();
    block();
    EXPECT_EQ(gps.starts, 1);
    EXPECT_EQ(gps.processed, 2);
    EXPECT_TRUE(sender.frames.back().stamped);
    EXPECT_EQ(sender.frames.back().second, 4321);
    EXPECT_EQ(sender.frames.back().offset, 96.0f);
    config.engine.gpsTimeEncoding = false;
    block();
    block();
    EXPECT_EQ(gps.stops, 1);
    EXPECT_FALSE(sender.frames.back().stamped);
}

TEST_F(StepTest, AGpsResyncRequestWaitsForStampingAndIsTakenOnce) {
    config.engine.gpsResyncRequested = true;
    block();  // stamping off: the request stays
    EXPECT_EQ(gps.resets, 0);
    EXPECT_TRUE(config.engine.gpsResyncRequested);
    config.engine.gpsTimeEncoding = true;
    block();
    EXPECT_EQ(gps.resets, 1);
    EXPECT_EQ(gps.lastRate, 0.0);  // the rate is measured anew
    EXPECT_FALSE(config.engine.gpsResyncRequested);
    block();
    EXPECT_EQ(gps.resets, 1);
}

TEST_F(StepTest, DecimationAtFiveToOne) {
    feed(2040);
    ASSERT_EQ(step->convertPlanes(records.data(), 2040, 192000), 408u);
    EXPECT_EQ(step->plane(0)[3], records[15].left);
    EXPECT_EQ(step->plane(1)[407], records[2035].right);
    EXPECT_EQ(step->convertPlanes(records.data(), 2040, 100000), 0u);  // not a multiple of 38,400
}

struct Step176k : StepTest {
    Step176k() : StepTest(176400, 1911) {}
};

TEST_F(Step176k, InterpolationAndFrames) {
    feed(1911);
    ASSERT_EQ(step->convertPlanes(records.data(), 1911, 176400), 416u);
    const auto& r = records;
    EXPECT_EQ(step->plane(0)[1], r[4].left * 0.40625f + r[5].left * 0.59375f);
    for (int b = 0; b < 3; ++b) ASSERT_GT(block(1911), 0);
    EXPECT_EQ(sender.frames.back().sampleCount, 1911u);
}

}  // namespace
