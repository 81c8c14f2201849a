// The audio source's rate meter as the sound-card callback works it: one-second windows, the
// accepted range of window durations, and the two averages after the hold-off.
#include "audio/InputRateMeter.h"
#include "LogCapture.h"
#include "logging/Logger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using kestrava::audio::InputRateMeter;

namespace {

constexpr std::int64_t second = 1'000'000'000;

struct RateFixture : testing::Test {
    KestravaLogger::Logger logger;
    std::shared_ptr<LogCapture> log = LogCapture::attach(logger);
    InputRateMeter rate{192000, 0};
};

}  // namespace

TEST_F(RateFixture, WindowsOfHalfToOneAndAHalfSecondsAreAcceptedOthersDropped) {
    const struct {
        double seconds;
        bool accepted;
    } cases[] = {{0.5, true}, {1.5, true}, {0.4999, false}, {1.5001, false}, {1.0, true}, {-1.0, false}};
    std::int64_t t = 0;
    int warnings = 0;
    for (const auto& c : cases) {
        rate.addFrames(191999, t, logger);  // one frame short of a window
        t += std::llround(c.seconds * 1e9);
        rate.addFrames(1, t, logger);       // exactly one nominal second completes it
        if (!c.accepted) ++warnings;
    }
    ASSERT_TRUE(log->waitFor("System time offset detected", warnings));
    EXPECT_EQ(log->matching({"System time offset detected"}),
              (std::vector<std::string>{
                  "System time offset detected, time difference is 0.4999 in sample rate measurement",
                  "System time offset detected, time difference is 1.5001 in sample rate measurement",
                  "System time offset detected, time difference is -1 in sample rate measurement"}));
}

TEST_F(RateFixture, AveragesHoldTheNominalRateThenFollowTheMeasuredOne) {
    // While the fast average holds off, the slow one is fed the nominal rate.
    std::int64_t t = 0;
    for (int w = 0; w < 10; ++w) {
        t += second;
        rate.addFrames(192010, t, logger);
        EXPECT_DOUBLE_EQ(rate.fastRate(), 192000.0) << w;
        EXPECT_DOUBLE_EQ(rate.slowRate(), 192000.0) << w;
    }
    // A card that really runs at 192,010 Hz: both averages converge on it.
    for (int w = 0; w < 200000; ++w) {
        t += second;
        rate.addFrames(192010, t, logger);
    }
    EXPECT_NEAR(rate.fastRate(), 192010.0, 0.001);
    EXPECT_NEAR(rate.slowRate(), 192010.0, 0.01);
}
