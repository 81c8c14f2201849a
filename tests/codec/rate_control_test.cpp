// Rate control of codec versions 1 to 3 and of the legacy version 0, against the stated examples.
#include "codec/Codec.h"
#include "codec/LegacyRateController.h"
#include "codec/RateController.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

using kestrava::codec::Codec;
using kestrava::codec::EncoderState;
using kestrava::codec::LegacyRateController;
using kestrava::codec::RateController;
using kestrava::codec::RateControllerDouble;
using kestrava::codec::RateControllerFloat;

namespace {

// 408 samples per channel at 38,400/s: 10,625 us; at 320 kbit/s the budget is 3,400 bits.
constexpr std::uint64_t blockUs = 10625;
constexpr std::uint32_t codes = 816;

TEST(RateControl, Exp2LookupAtIntegers) {
    for (const auto& [z, expected] : {std::pair<double, double>{0, 1}, {1, 2}, {3, 8}, {-1, 0.5}, {-3, 0.125}}) {
        EXPECT_EQ(RateController<double>::exp2Lookup(z), expected) << z;
        EXPECT_EQ(RateController<float>::exp2Lookup(static_cast<float>(z)), static_cast<float>(expected)) << z;
    }
}

struct DoubleRig {
    std::unique_ptr<Codec<double, 0>> codec = std::make_unique<Codec<double, 0>>(nullptr);
    std::unique_ptr<EncoderState<double>> state = std::make_unique<EncoderState<double>>();

    DoubleRig(std::int32_t version, std::int32_t reservoir) {
        RateControllerDouble::configure(*codec, 320, *state);
        state->codecVersion = version;
        state->reservoir = reservoir;
        for (int c = 0; c < 2; ++c) state->rateStates[c] = {1.0, 1.0, state->rateStates[c].levelClass, 0};
    }
    void update(std::int32_t bytes, float energy = 1.0f) {
        RateController<double>::update(*codec, blockUs, bytes, codes, energy, codes, *state);
    }
};

// Step factors start at 1, so afterwards they equal the multiplier m.
TEST(RateControl, ReservoirRulesOfTheStatedExamples) {
    struct Case {
        std::int32_t version;
        std::int32_t reservoirBefore;
        std::int32_t bytes;
        std::int32_t reservoirAfter;
        double multiplier;  // the stated digits
    };
    const Case cases[] = {
        {2, 0, 500, -600, 1.69041096},     {2, 0, 425, 0, 1.0},        {2, 0, 375, 400, 0.75},
        {2, -20000, 500, -20600, 48.6008747},  // five parts of -3,400: D = -3,293, target 7,293
        {1, 0, 375, 400, 0.75},            {1, 0, 500, -600, 2.7713656},
        {1, 2448, 731, 0, 10.0},           // target = used, z = 3: m = 8 + (8 - 6)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << ", " << c.bytes << " bytes");
        DoubleRig rig(c.version, c.reservoirBefore);
        rig.update(c.bytes);
        EXPECT_EQ(rig.state->reservoir, c.reservoirAfter);
        for (int ch = 0; ch < 2; ++ch) EXPECT_NEAR(rig.state->rateStates[ch].stepFactor, c.multiplier, 5e-8 * c.multiplier);
        EXPECT_EQ(rig.state->rateStates[2].stepFactor, 0.0);  // the third channel is never touched
    }
}

TEST(RateControl, SilentFramesAtTheMinimumStepKeepTheirFactor) {
    DoubleRig cheap(2, 0);
    for (int c = 0; c < 2; ++c) cheap.state->rateStates[c] = {0.0, 1e-6, 3, 0};  // step at the minimum
    cheap.update(375, 0.0f);  // m = 0.75, silent
    EXPECT_EQ(cheap.state->rateStates[0].stepFactor, 1e-6);
    DoubleRig costly(2, 0);
    for (int c = 0; c < 2; ++c) costly.state->rateStates[c] = {0.0, 1e-6, 3, 0};
    costly.update(500, 0.0f);  // m > 1: multiplied regardless, but not below the floor minStep
    EXPECT_EQ(costly.state->rateStates[0].stepFactor, 0x1p-15);
}

TEST(RateControl, VariableRateUsesTheMaximumAndKeepsNoSavings) {
    auto codec = std::make_unique<Codec<float, 4>>(nullptr);
    auto state = std::make_unique<EncoderState<float>>();
    RateControllerFloat::configure(*codec, 320, true, true, 32, 480, false, *state);
    state->codecVersion = 3;
    EXPECT_EQ(state->maximumRate, 480);
    EXPECT_EQ(codec->quantizers[0]->minStep, 32.0f * 0x1p-15f);
    RateController<float>::update(*codec, blockUs, 100, codes, 1.0f, codes, *state);
    EXPECT_EQ(state->reservoir, 0);
    RateController<float>::update(*codec, blockUs, 1000, codes, 1.0f, codes, *state);
    EXPECT_EQ(state->reservoir, 5100 - 8000);  // budget of 480 kbit/s
}

TEST(RateControl, FloatConfigureStepScales) {
    struct Case {
        std::uint32_t rate;
        bool plus, variable, mono;
        std::int32_t target, levelClass;
        float scale;  // stated; 0 when none is stated
    };
    const Case cases[] = {
        {160, true, false, false, 160, 0, 1.33554864f},   {320, false, false, false, 320, 2, 0.283872843f},
        {480, false, false, false, 480, 4, 0.0714505538f}, {1000, false, false, false, 1000, 7, 0.00159014447f},
        {160, true, true, false, 160, 0, 1.36630833f},    {2000, false, false, false, 1000, 7, 0.00159014447f},
        {100, true, false, false, 160, 0, 1.33554864f},   {50, true, false, true, 80, 0, 1.33554864f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        auto codec = std::make_unique<Codec<float, 4>>(nullptr);
        auto state = std::make_unique<EncoderState<float>>();
        state->rateStates[1].stepFactor = 100.0f;  // larger than S: kept
        const std::int32_t bits = RateControllerFloat::configure(*codec, c.rate, c.plus, c.variable, 1,
                                                                 static_cast<std::int32_t>(c.rate), c.mono, *state);
        EXPECT_EQ(state->targetRate, c.target);
        EXPECT_EQ(state->rateStates[0].levelClass, c.levelClass);
        EXPECT_EQ(bits, 5 + c.levelClass);
        EXPECT_EQ(codec->quantizers[0]->minStepFactor, c.scale);
        EXPECT_EQ(state->rateStates[0].stepFactor, c.scale);  // raised from 0
        EXPECT_EQ(state->rateStates[1].stepFactor, 100.0f);
    }
}

TEST(RateControl, DoubleConfigureClampsToItsRange) {
    for (const auto& [rate, target, levelClass] :
         {std::tuple<std::uint32_t, std::int32_t, std::int32_t>{600, 576, 5}, {300, 320, 2}, {800, 576, 5}, {424, 424, 4}, {423, 423, 3}}) {
        auto codec = std::make_unique<Codec<double, 0>>(nullptr);
        auto state = std::make_unique<EncoderState<double>>();
        codec->quantizers[1]->minStep = 1.0;
        EXPECT_EQ(RateControllerDouble::configure(*codec, rate, *state), 5 + levelClass);
        EXPECT_EQ(state->targetRate, target);
        EXPECT_EQ(state->rateStates[1].levelClass, levelClass);
        EXPECT_EQ(codec->quantizers[1]->minStep, 0x1p-15);
        EXPECT_EQ(state->rateStates[0].stepFactor, 0.0);  // left as it was
    }
}

TEST(LegacyRateControl, FramesOfTheStatedExample) {
    EncoderState<double> state;
    state.targetRate = 320;
    state.rateStates[0].stepFactor = 2.0;
    state.rateStates[1].stepFactor = 3.0;
    struct Frame {
        std::uint32_t bytes;
        std::int32_t reservoir;
        double change;
    };
    const Frame frames[] = {{500, 600, 4600.0 / 3400 - 1},
                            {400, 400, 3600.0 / 3400 - 1},
                            {300, -600, -(1 - 1800.0 / 3400) / 2},
                            {200, -2400, -(1 - 1200.0 / 3400) / 2}};
    for (const Frame& f : frames) {
        const double before0 = state.rateStates[0].stepFactor;
        const double before1 = state.rateStates[1].stepFactor;
        LegacyRateController::update(state, blockUs, f.bytes, 1.0f, codes);
        EXPECT_EQ(state.reservoir, f.reservoir) << f.bytes;
        EXPECT_NEAR(state.rateStates[0].stepFactor - before0, f.change, 1e-12) << f.bytes;
        EXPECT_NEAR(state.rateStates[1].stepFactor - before1, f.change, 1e-12) << f.bytes;
    }
}

TEST(LegacyRateControl, FloorsAndQuietBlocks) {
    EncoderState<double> state;
    state.targetRate = 320;
    for (int i = 0; i < 10; ++i) LegacyRateController::update(state, blockUs, 0, 1.0f, codes);
    EXPECT_EQ(state.reservoir, -3200);  // never below -10 x rate
    EXPECT_EQ(state.rateStates[0].stepFactor, 0.0);

    EncoderState<double> floorCase;
    floorCase.targetRate = 320;
    floorCase.rateStates[0].stepFactor = 0.1;
    floorCase.reservoir = 1100;
    LegacyRateController::update(floorCase, blockUs, 250, 1.0f, codes);  // effective 1,700: r = 0.5
    EXPECT_EQ(floorCase.rateStates[0].stepFactor, 0.0);  // 0.1 - 0.25, floored

    EncoderState<double> quiet;
    quiet.targetRate = 320;
    quiet.rateStates[0].stepFactor = 1.0;
    LegacyRateController::update(quiet, blockUs, 200, 0.0f, codes);  // quiet, under budget: unchanged
    EXPECT_EQ(quiet.rateStates[0].stepFactor, 1.0);
    LegacyRateController::update(quiet, blockUs, 800, 0.0f, codes);  // quiet, over budget: raised
    EXPECT_GT(quiet.rateStates[0].stepFactor, 1.0);

    EncoderState<double> exact;
    exact.targetRate = 320;
    exact.rateStates[0].stepFactor = 1.5;
    LegacyRateController::update(exact, blockUs, 425, 1.0f, codes);  // exactly on budget
    EXPECT_EQ(exact.reservoir, 0);
    EXPECT_EQ(exact.rateStates[0].stepFactor, 1.5);
}

}  // namespace
