// The receiver's rate control against the stated worked values: the power-of-two lookup, the
// set-up at a reset packet of both generations and the frame update under the simple and the
// shared reservoir rules.
#include "decoder/RateReplay.h"

#include <gtest/gtest.h>

using namespace streamdecoder;

namespace {

// 320 kbit/s, 408 codes per channel: a budget of 3,400 bits per frame, a cap of 3,200.
constexpr std::uint64_t durationUs = 10625;
constexpr std::uint32_t codeCount = 816;

RateReplay<double> replayAt320(int version, std::int32_t reservoir) {
    RateReplay<double> r;
    r.codecVersion = version;
    r.configure(320);
    r.reservoir = reservoir;
    for (auto& ch : r.channels) {
        ch.power = 0.01;
        ch.stepFactor = 1.0;
    }
    return r;
}

}  // namespace

TEST(RateReplay, PowerOfTwoLookup) {
    EXPECT_EQ(exp2Lookup(1.0), 2.0);
    EXPECT_EQ(exp2Lookup(0.0), 1.0);
    EXPECT_EQ(exp2Lookup(-1.0), 0.5);
    EXPECT_EQ(exp2Lookup(3.0), 8.0);
    EXPECT_EQ(exp2Lookup(1.0f), 2.0f);
    EXPECT_EQ(exp2Lookup(-2.0f), 0.25f);
    // A tiny negative exponent rounds the fraction up to 1 and reads the guard entry.
    EXPECT_EQ(exp2Lookup(-1e-9f), 1.0f);
    EXPECT_NEAR(exp2Lookup(0.5), 1.4142135623730951, 1e-15);
    // Far outside what a stream can produce: bounded, never undefined.
    EXPECT_EQ(exp2Lookup(1e9), 0x1p30);
    EXPECT_EQ(exp2Lookup(-1e9f), 0x1p-30f);
}

TEST(RateReplay, DoubleGenerationSetUpClampsTheRate) {
    struct Case {
        std::uint32_t rate;
        std::int32_t target;
        int levelClass;
    } cases[] = {{600, 576, 5}, {300, 320, 2}, {800, 576, 5}, {320, 320, 2}, {424, 424, 4}, {0xFFFFFFF0u, 576, 5}};
    for (const Case& c : cases) {
        RateReplay<double> r;
        r.channels[0].stepFactor = 0.5;
        r.channels[0].minStep = 1.0;
        const int bits = r.configure(c.rate);
        EXPECT_EQ(r.targetRate, c.target) << c.rate;
        EXPECT_EQ(r.channels[0].levelClass, c.levelClass) << c.rate;
        EXPECT_EQ(r.channels[1].levelClass, c.levelClass) << c.rate;
        EXPECT_EQ(bits, 5 + c.levelClass) << c.rate;
        EXPECT_EQ(r.channels[0].minStep, 0x1p-15) << c.rate;
        EXPECT_EQ(r.channels[0].stepFactor, 0.5) << c.rate;  // left as the reset packet set it
    }
}

TEST(RateReplay, FloatGenerationSetUpFloorsTheStepFactor) {
    struct Case {
        std::uint32_t rate;
        bool plus, vbr;
        float floor;
    } cases[] = {{160, true, false, 1.33554864f},
                 {320, false, false, 0.283872843f},
                 {480, false, false, 0.0714505538f},
                 {1000, false, false, 0.00159014447f},
                 {160, true, true, 1.36630833f}};
    for (const Case& c : cases) {
        RateReplay<float> r;
        r.channels[1].stepFactor = 1000.0f;
        r.configure(c.rate, c.plus, c.vbr, 32, static_cast<std::int32_t>(c.rate), false);
        for (const auto& ch : r.channels) EXPECT_NEAR(ch.minStepFactor, c.floor, c.floor * 2e-7f) << c.rate;
        EXPECT_FLOAT_EQ(r.channels[0].stepFactor, r.channels[0].minStepFactor) << "raised to the floor";
        EXPECT_EQ(r.channels[1].stepFactor, 1000.0f) << "a larger factor stays";
        EXPECT_EQ(r.channels[0].minStep, c.vbr ? 32.0f / 32768.0f : 1.0f / 32768.0f);
    }
    RateReplay<float> r;
    r.configure(2000, false, false, 1, 2000, false);
    EXPECT_EQ(r.targetRate, 1000);
    r.configure(100, true, false, 1, 100, false);
    EXPECT_EQ(r.targetRate, 160);
    const int bits = r.configure(50, true, false, 1, 50, true);
    EXPECT_EQ(r.targetRate, 80);
    EXPECT_EQ(r.channels[0].levelClass, 0);
    EXPECT_EQ(bits, 5);
}

TEST(RateReplay, FrameUpdateFollowsTheReservoirRules) {
    struct Case {
        int version;
        std::int32_t reservoirBefore, frameBytes, reservoirAfter;
        double multiplier;
    } cases[] = {
        {2, 0, 500, -600, 1.69041096},     {2, 0, 425, 0, 1.0},  {2, 0, 375, 400, 0.75},
        {2, -20000, 500, -20600, 48.6008747}, {1, 0, 375, 400, 0.75}, {1, 0, 500, -600, 2.7713656},
    };
    for (const Case& c : cases) {
        RateReplay<double> r = replayAt320(c.version, c.reservoirBefore);
        r.update(durationUs, c.frameBytes, codeCount, 50.0f, codeCount);
        EXPECT_EQ(r.reservoir, c.reservoirAfter) << c.version << " " << c.frameBytes;
        for (const auto& ch : r.channels) {
            EXPECT_NEAR(ch.stepFactor, c.multiplier, c.multiplier * 1e-8) << c.version << " " << c.frameBytes;
        }
    }
}

TEST(RateReplay, SilenceAtTheMinimumStepHoldsTheFactor) {
    // A silent frame under budget: the factor stays while its step is at the floor, and moves
    // when it is not; a frame over budget moves it regardless.
    RateReplay<double> r = replayAt320(2, 0);
    r.channels[0].power = 0.0;
    r.update(durationUs, 375, codeCount, 0.0f, codeCount);
    EXPECT_EQ(r.channels[0].stepFactor, 1.0);
    EXPECT_EQ(r.channels[1].stepFactor, 0.75);
    r = replayAt320(2, 0);
    r.channels[0].power = 0.0;
    r.update(durationUs, 500, codeCount, 0.0f, codeCount);
    EXPECT_NEAR(r.channels[0].stepFactor, 1.69041096, 1e-8);
    // Never below the floor: the minimum step in the double generation.
    r = replayAt320(2, 0);
    r.channels[0].stepFactor = 0x1p-15;
    r.update(durationUs, 375, codeCount, 50.0f, 0);
    EXPECT_EQ(r.channels[0].stepFactor, 0x1p-15);
}

TEST(RateReplay, VariableRateKeepsNoSavingsAndBudgetsTheMaximum) {
    RateReplay<float> r;
    r.codecVersion = 3;
    r.configure(256, true, true, 32, 400, false);
    EXPECT_EQ(r.maximumRate, 400);
    for (auto& ch : r.channels) ch.stepFactor = 1.0f;
    // 400 kbit/s: a budget of 4,250 bits; 375 bytes would save 1,250, which is not kept, and the
    // step shrinks by the floor multiplier, no lower than the rate's floor.
    r.update(durationUs, 375, codeCount, 50.0f, codeCount);
    EXPECT_EQ(r.reservoir, 0);
    EXPECT_EQ(r.channels[0].stepFactor, std::max(0.75f, r.channels[0].minStepFactor));
    // Over budget the debt is kept.
    r.update(durationUs, 600, codeCount, 50.0f, codeCount);
    EXPECT_EQ(r.reservoir, 4250 - 4800);
}
