#include "audio/soundcard/JitterCorrectedSoundcardStream.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "LogCapture.h"
#include "ScriptedAudioBackend.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using kestrava::audio::soundcard::JitterCorrectedSoundcardStream;
using kestrava::audio::soundcard::PortaudioWrapper;

namespace {

struct JitterFixture : testing::Test {
    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<LogCapture> log = LogCapture::attach(config.logger);
    PortaudioWrapper wrapper{std::make_unique<ScriptedAudioBackend>(std::vector<ScriptedAudioBackend::HostApi>{},
                                                                    std::vector<ScriptedAudioBackend::Device>{})};
    JitterCorrectedSoundcardStream stream{config, wrapper, 0};
    float block[1024] = {};

    void input(double adcTime, std::uint32_t frames = 1024) {
        PaStreamCallbackTimeInfo time{};
        time.inputBufferAdcTime = adcTime;
        ASSERT_EQ(stream.onAudio(block, nullptr, frames, &time, 0), paContinue);
    }
};

}  // namespace

TEST_F(JitterFixture, CorrectedTimesFollowTheStampsAndTheRateIsChecked) {
    // A card that runs 0.5 Hz fast, with stamps that jitter by +-20 us.
    const double rate = 192000.5;
    for (int i = 0; i < 20000; ++i) input(i * 1024 / rate + ((i % 2) != 0 ? 20e-6 : -20e-6));
    EXPECT_NEAR(stream.inputRateSmoother.value(), rate, 1.0);
    const double truth = 19999 * 1024 / rate;
    EXPECT_NEAR(stream.correctedInputTime, truth, 5e-6) << "well inside the 20 us jitter";
    EXPECT_EQ(stream.lastOutputTime, 0.0) << "no output block, no output side";
    ASSERT_TRUE(log->waitFor("Input sample rate deviates too much, measured rate is "));
    EXPECT_EQ(log->count("Input sample rate deviates too much"), 1);
    EXPECT_TRUE(stream.inputRateDeviates);
}

TEST_F(JitterFixture, EqualStampsAndEmptyBlocksAreHarmless) {
    input(1.0);
    input(1.0);  // interval floored at one microsecond
    EXPECT_GT(stream.inputRateSmoother.value(), 1.0);
    const double last = stream.lastInputTime;
    input(2.0, 0);
    EXPECT_EQ(stream.lastInputTime, last);
}
