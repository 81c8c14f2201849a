#include "audio/soundcard/PortaudioWrapper.h"
#include "audio/soundcard/SoundcardInputStream.h"
#include "LogCapture.h"
#include "ManualSteadyClock.h"
#include "ScriptedAudioBackend.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using kestrava::audio::soundcard::PortaudioWrapper;
using kestrava::audio::soundcard::SoundcardInputStream;
using kestrava::audio::soundcard::Tilt;

using kestrava::audio::InputRateMeter;
using kestrava::audio::SoundcardInputStage;

namespace {

class RecordingStage final : public SoundcardInputStage {
public:
    void feedInput(float* samples, std::uint32_t count) override {
        sizes.push_back(count);
        values.insert(values.end(), samples, samples + count);
    }
    std::vector<std::uint32_t> sizes;
    std::vector<float> values;
};

class HookedInputStream final : public SoundcardInputStream {
public:
    using SoundcardInputStream::SoundcardInputStream;
    std::vector<std::uint32_t> hookCounts;

protected:
    void pushRawBlock(const float*, std::uint32_t count) override { hookCounts.push_back(count); }
};

int tiltReports = 0;
void countTiltReport(std::int32_t, std::string_view) { ++tiltReports; }

// The callback is driven directly on the test thread; the stream's worker is never started.
struct CallbackFixture : testing::Test {
    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<LogCapture> log = LogCapture::attach(config.logger);
    ManualSteadyClock clock;
    PortaudioWrapper wrapper{std::make_unique<ScriptedAudioBackend>(std::vector<ScriptedAudioBackend::HostApi>{},
                                                                    std::vector<ScriptedAudioBackend::Device>{})};
    RecordingStage stage;
    InputRateMeter rate{192000, clock.nowNs()};
    std::unique_ptr<HookedInputStream> stream;

    void SetUp() override {
        stream = std::make_unique<HookedInputStream>(config, wrapper, 0, stage, rate, clock);
        stream->setTiltErrorRecorder(countTiltReport);
    }
    int call(const std::vector<float>& block, PaStreamCallbackFlags status = 0) {
        return stream->onAudio(block.empty() ? nullptr : block.data(), nullptr,
                               static_cast<std::uint32_t>(block.size()), nullptr, status);
    }
};

std::vector<float> ramp(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<float>(i) * 1e-4f;
    return v;
}

}  // namespace

TEST_F(CallbackFixture, BlocksAreHandedOnInChunksOfAtMost1024) {
    const struct {
        std::size_t frames;
        std::vector<std::uint32_t> chunks;
    } cases[] = {{2500, {1024, 1024, 452}}, {1024, {1024}}, {1, {1}}, {2048, {1024, 1024}}};
    for (const auto& c : cases) {
        stage.sizes.clear();
        stage.values.clear();
        const auto block = ramp(c.frames);
        EXPECT_EQ(call(block), paContinue);
        EXPECT_EQ(stage.sizes, c.chunks) << c.frames;
        EXPECT_EQ(stage.values, block) << c.frames;
        EXPECT_EQ(stream->hookCounts.back(), c.frames);
    }
}

TEST_F(CallbackFixture, EmptyBlockForwardsNothingButStampsAndChecksTheTimeConstant) {
    config.engine.tiltEnabled = true;
    config.engine.tiltRc = 0.01f;
    const float x = 0.5f;
    clock.advanceSeconds(0.25);
    const float dummy = 0.0f;
    EXPECT_EQ(stream->onAudio(&dummy, nullptr, 0, nullptr, 0), paContinue);
    EXPECT_TRUE(stage.sizes.empty());
    EXPECT_EQ(stream->hookCounts, std::vector<std::uint32_t>{0});
    EXPECT_EQ(stream->lastCallbackTimeNs(), clock.nowNs());
    // The new time constant was taken in by the empty callback: the next sample is lifted.
    call({x});
    call({x});
    EXPECT_GT(stage.values.back(), x);
}

TEST_F(CallbackFixture, TiltFollowsTheSwitchAndTheTimeConstant) {
    const auto block = std::vector<float>(3000, 0.25f);
    call(block);
    EXPECT_EQ(stage.values.back(), 0.25f) << "tilt off: samples as delivered";

    config.engine.tiltEnabled = true;
    config.engine.tiltRc = 0.01f;
    stage.values.clear();
    call(block);
    // The reference: a filter built the same way, fed the same samples.
    Tilt reference;
    reference.sampleRate = 192000.0f;
    reference.rc = 0.01f;
    reference.updateCoefficients();
    for (std::size_t i = 0; i < block.size(); ++i) ASSERT_EQ(stage.values[i], reference.process(block[i])) << i;

    config.engine.tiltRc = std::numeric_limits<float>::quiet_NaN();
    stage.values.clear();
    call({0.25f});
    EXPECT_EQ(stage.values.back(), 0.25f) << "a NaN time constant switches the sections off";
}

TEST_F(CallbackFixture, NanInputIsCaughtOnBothTiltPaths) {
    config.engine.tiltEnabled = true;
    config.engine.tiltRc = 0.01f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    tiltReports = 0;
    call({0.25f, nan, 0.25f});
    EXPECT_EQ(stage.values[1], 0.0f);
    EXPECT_TRUE(std::isfinite(stage.values[2]));
    EXPECT_EQ(tiltReports, 1);
}

TEST_F(CallbackFixture, StatusBitsAreReportedOverflowFirstAndClearedByTheNextBlock) {
    call(ramp(16), paInputOverflow | paInputUnderflow);
    EXPECT_TRUE(stream->hasStatusError());
    EXPECT_EQ(stage.values.size(), 16u) << "the block is processed as delivered";
    call(ramp(16));
    EXPECT_FALSE(stream->hasStatusError());
    ASSERT_TRUE(log->waitFor("Soundcard input underflow detected"));
    EXPECT_EQ(log->matching({"Soundcard input"}),
              (std::vector<std::string>{"Soundcard input overflow detected @ 0",
                                        "Soundcard input underflow detected @ 0"}));
}

TEST_F(CallbackFixture, NullInputBlockIsSkipped) {
    clock.advanceSeconds(0.1);
    EXPECT_EQ(stream->onAudio(nullptr, nullptr, 512, nullptr, 0), paContinue);
    EXPECT_TRUE(stage.sizes.empty());
    EXPECT_TRUE(stream->hookCounts.empty());
    EXPECT_EQ(stream->skippedBlocks(), 1u);
    EXPECT_EQ(stream->lastCallbackTimeNs(), clock.nowNs()) << "the stream is alive for the watchdog";
}

TEST_F(CallbackFixture, WindowIsTimedFromThePreviousCallbackStamp) {
    // The first window is timed from construction; a stamp taken by this very callback would
    // shorten it by the last block's duration.
    const auto block = std::vector<float>(96000, 0.0f);
    clock.advanceSeconds(0.25);
    call(block);
    clock.advanceSeconds(1.0);
    call(block);  // completes the window, timed 0.25 s by the first call's stamp: dropped
    ASSERT_TRUE(log->waitFor("System time offset detected"));
    EXPECT_EQ(log->matching({"System time offset detected"}),
              std::vector<std::string>{"System time offset detected, time difference is 0.25 in sample rate measurement"});
}
