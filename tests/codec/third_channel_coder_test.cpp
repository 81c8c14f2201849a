// The third-channel coders of codec versions 1-2 (double) and 3 (float): the step taken from both
// main channels' steps (the larger over 1.4142 as a float, at least 0.02), class-0 level mapping and
// rounding, on a fresh channel (zero history: prediction 0).
#include "codec/EncoderKernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

using kestrava::codec::BackwardLpc3;
using kestrava::codec::BackwardLpc5;
using kestrava::codec::ChannelHistory;
using kestrava::codec::EncoderKernels;
using kestrava::codec::Quantizer;
using kestrava::codec::encoderKernels;

namespace {

template <class T>
struct Third {
    using Predictor = std::conditional_t<std::is_same_v<T, double>, BackwardLpc5, BackwardLpc3>;
    std::unique_ptr<Predictor> lpc = std::make_unique<Predictor>();
    std::unique_ptr<ChannelHistory<T>> history = std::make_unique<ChannelHistory<T>>();
    std::unique_ptr<Quantizer<T, 1>> quantizer = std::make_unique<Quantizer<T, 1>>();
    std::int32_t code = 0;
    float reconstruction = 0;

    std::uint32_t code1(float x, T step0, T step1) {
        const EncoderKernels& k = encoderKernels();
        if constexpr (std::is_same_v<T, double>) {
            return k.codeThirdDouble(*lpc, *history, quantizer->levelClasses[0], &x, 1, &step0, &step1, &code,
                                     &reconstruction, *k.core);
        } else {
            return k.codeThirdFloat(*lpc, *history, quantizer->levelClasses[0], &x, 1, &step0, &step1, &code,
                                    &reconstruction, *k.core);
        }
    }
};

template <class T>
class ThirdChannelCoder : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(ThirdChannelCoder, Precisions);

TYPED_TEST(ThirdChannelCoder, MapsRoundedResidualsToClassZero) {
    using T = TypeParam;
    const auto& levels = Quantizer<T, 1>().levelClasses[0].levels;
    struct Case {
        double residual;  // in steps of 0.02 (both main steps tiny: the floor)
        std::int32_t code;
        T level;
    };
    const Case cases[] = {
        {2.5, 3, 3}, {-2.5, -3, -3}, {3.0, 3, 3},      {4.0, 4, levels[4]},     {5.0, 4, levels[4]},
        {6.0, 5, levels[5]}, {-5.0, -4, -levels[4]}, {60000.0, 31, levels[31]}, {0.25, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.residual);
        Third<T> third;
        const T floorStep = static_cast<T>(0.02);
        const std::uint32_t silent = third.code1(static_cast<float>(c.residual * 0.02), T(0.01), T(0.01));
        EXPECT_EQ(third.code, c.code);
        EXPECT_EQ(silent, c.code == 0 ? 1u : 0u);
        EXPECT_EQ(third.history->samples[0], c.level * floorStep);
    }
}

TYPED_TEST(ThirdChannelCoder, StepIsTheLargerMainStepOverTheFloatRootTwo) {
    using T = TypeParam;
    // 1.4142 rounded to float, used in either precision; not the square root of 2.
    const T divisor = std::is_same_v<T, double> ? static_cast<T>(1.414199948310852) : static_cast<T>(1.4142f);
    for (const auto& [s0, s1] : {std::pair<T, T>{0.5, 0.25}, std::pair<T, T>{0.25, 0.5}}) {
        Third<T> third;
        const T step = static_cast<T>(0.5) / divisor;
        third.code1(static_cast<float>(2.0 * static_cast<double>(step)), s0, s1);
        EXPECT_EQ(third.code, 2);
        EXPECT_EQ(third.history->samples[0], static_cast<T>(2) * step);
    }
    // Main steps just below 0.02 x 1.4142: the floor 0.02 holds.
    Third<T> floored;
    floored.code1(0.04f, static_cast<T>(0.028), static_cast<T>(0.0001));
    EXPECT_EQ(floored.history->samples[0], static_cast<T>(2) * static_cast<T>(0.02));
}

}  // namespace
