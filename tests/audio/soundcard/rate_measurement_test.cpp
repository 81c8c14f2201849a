#include "audio/soundcard/InputRateMeasurement.h"
#include "audio/soundcard/RateSmoother.h"
#include "LogCapture.h"
#include "logging/Logger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

constexpr std::int64_t second = 1'000'000'000;

struct RateFixture : testing::Test {
    KestravaLogger::Logger logger;
    std::shared_ptr<LogCapture> log = LogCapture::attach(logger);
    InputRateMeasurement rate{192000, 0};
};

}  // namespace

TEST(RateSmoother, HarmonicMeanHoldOffAndZeroInput) {
    RateSmoother s{true, 0.5, 0.5, 0.0, 0.0, 1};
    EXPECT_EQ(s.value(), 0.0);
    s.update(100.0);  // held off
    EXPECT_EQ(s.weightSum, 0.0);
    s.update(0.0);    // a zero changes nothing in harmonic mode
    EXPECT_EQ(s.weightSum, 0.0);
    s.update(100.0);
    s.update(300.0);
    // weights 0.25 and 0.5 on 1/100 and 1/300: (0.75) / (0.0025 + 0.5/300)
    EXPECT_NEAR(s.value(), 0.75 / (0.0025 + 0.5 / 300.0), 1e-9);

    RateSmoother plain{false, 0.5, 0.5, 0.0, 0.0, 0};
    plain.update(-2.0);
    plain.update(4.0);
    EXPECT_NEAR(plain.value(), (-0.5 + 2.0) / 0.75, 1e-12);
}

TEST_F(RateFixture, WindowsOfHalfToOneAndAHalfSecondsAreAcceptedOthersDiscarded) {
    const struct {
        double seconds;
        bool accepted;
    } cases[] = {{0.5, true}, {1.5, true}, {0.4999, false}, {1.5001, false}, {1.0, true}, {-1.0, false}};
    std::int64_t t = 0;
    int held = 10;
    int warnings = 0;
    for (const auto& c : cases) {
        rate.addBlock(191999, t, logger);  // not yet complete
        EXPECT_EQ(rate.windowFrames, 191999.0);
        t += std::llround(c.seconds * 1e9);
        rate.addBlock(1, t, logger);  // exactly one nominal second completes the window
        EXPECT_EQ(rate.windowFrames, 0.0) << c.seconds;
        EXPECT_EQ(rate.windowStartNs, t) << c.seconds;
        if (c.accepted) --held;
        if (!c.accepted) ++warnings;
        EXPECT_EQ(rate.smoothers[0].holdOff, held) << c.seconds;
    }
    ASSERT_TRUE(log->waitFor("System time offset detected", warnings));
    EXPECT_EQ(log->matching({"System time offset detected"}).front(),
              "System time offset detected, time difference is 0.4999 in sample rate measurement");
}

TEST_F(RateFixture, SmoothersHoldTheNominalRateThenFollowTheMeasuredOne) {
    // While the first smoother is held off, the second is fed its seed: the nominal rate.
    std::int64_t t = 0;
    for (int w = 0; w < 10; ++w) {
        t += second;
        rate.addBlock(192010, t, logger);
        EXPECT_DOUBLE_EQ(rate.measuredRate(), 192000.0) << w;
    }
    // A card that really runs at 192,010 Hz: the cascade converges on it.
    for (int w = 0; w < 200000; ++w) {
        t += second;
        rate.addBlock(192010, t, logger);
    }
    EXPECT_NEAR(rate.smoothers[0].value(), 192010.0, 0.001);
    EXPECT_NEAR(rate.measuredRate(), 192010.0, 0.01);
    EXPECT_GT(rate.measuredRate(), 192009.9);
}
