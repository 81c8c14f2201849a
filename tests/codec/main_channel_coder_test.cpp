// The per-sample main-channel coders of codec versions 1-2 (double) and 3 (float): rounding, level
// mapping, step entries, power update, prediction guard and clamp, with the values the coders'
// definitions state. Each case codes one sample on a fresh channel (zero history: prediction 0)
// with a step of 1/64, so x = q / 64 gives a residual of exactly q steps.
#include "codec/EncoderKernels.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

using kestrava::codec::BackwardLpc11;
using kestrava::codec::BackwardLpc16;
using kestrava::codec::ChannelHistory;
using kestrava::codec::ChannelRateState;
using kestrava::codec::EncoderKernels;
using kestrava::codec::Quantizer;
using kestrava::codec::encoderKernels;

using namespace codec_test;

namespace {

constexpr double stepSize = 1.0 / 64.0;

template <class T>
struct Channel {
    using Predictor = std::conditional_t<std::is_same_v<T, double>, BackwardLpc16, BackwardLpc11>;
    std::unique_ptr<Predictor> lpc = std::make_unique<Predictor>();
    std::unique_ptr<ChannelHistory<T>> history = std::make_unique<ChannelHistory<T>>();
    std::unique_ptr<Quantizer<T, 1>> quantizer = std::make_unique<Quantizer<T, 1>>();
    ChannelRateState<T> rate{1, static_cast<T>(stepSize), 0, 0};  // step sqrt(1) * 1/64
    std::int32_t code = 0;
    T step = 0;
    float reconstruction = 0;

    float code1(float x) {
        const EncoderKernels& k = encoderKernels();
        if constexpr (std::is_same_v<T, double>) {
            return k.codeMainDouble(*lpc, *history, rate, *quantizer, &x, 1, &code, &step, &reconstruction, *k.core);
        } else {
            return k.codeMainFloat(*lpc, *history, rate, *quantizer, &x, 1, &code, &step, &reconstruction, *k.core);
        }
    }
};

template <class T>
class MainChannelCoder : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(MainChannelCoder, Precisions);

// Class 0: levels 0, 1, 2, 3, 4.26, 6.0492, ..., 55105.49..., linear limit 3.
TYPED_TEST(MainChannelCoder, RoundsAndMapsResidualsInClassZero) {
    using T = TypeParam;
    const auto& table = Quantizer<T, 1>().levelClasses[0];
    struct Case {
        double residual;       // in steps
        std::int32_t code;
        double level;          // reconstruction in steps
        double stepEntry;      // in steps
    };
    const double spacing4 = std::is_same_v<T, double> ? 4.26 - 3.0 : static_cast<double>(4.26f - 3.0f);
    const double top = static_cast<double>(table.levels[31]);
    const Case cases[] = {
        {0.0, 0, 0.0, 1.0},
        {0.4375, 0, 0.0, 1.0},   // below one half
        {0.5, 1, 1.0, 1.0},      // halves away from zero
        {2.5, 3, 3.0, 1.0},
        {-2.5, -3, -3.0, 1.0},
        {3.0, 3, 3.0, 1.0},      // at the linear limit: still linear
        {4.0, 4, static_cast<double>(table.levels[4]), spacing4},
        {5.0, 4, static_cast<double>(table.levels[4]), spacing4},  // 4.26 is nearer than 6.0492
        {-5.0, -4, -static_cast<double>(table.levels[4]), spacing4},
        {60000.0, 31, top, static_cast<double>(table.levels[31] - static_cast<T>(static_cast<float>(table.levels[30])))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.residual);
        Channel<T> channel;
        const auto x = static_cast<float>(c.residual * stepSize);
        const float energy = channel.code1(x);
        EXPECT_EQ(channel.code, c.code);
        const T r = static_cast<T>(c.level) * static_cast<T>(stepSize);
        EXPECT_EQ(channel.history->samples[0], r);
        EXPECT_EQ(channel.step, static_cast<T>(c.stepEntry * stepSize));
        EXPECT_EQ(energy, static_cast<float>(r * r));
        EXPECT_EQ(channel.history->writePos, 1u);
        EXPECT_EQ(channel.history->fillCount, 1u);
        if constexpr (std::is_same_v<T, double>) {
            EXPECT_EQ(channel.rate.power, (0.1 * r) * r + 1.0 * 0.9);
        } else {
            EXPECT_EQ(channel.rate.power, (0.03f * r) * r + 1.0f * 0.97f);
        }
    }
}

TYPED_TEST(MainChannelCoder, FreshChannelUsesTheMinimumStepAndNonFiniteSamplesGiveCodeZero) {
    using T = TypeParam;
    Channel<T> fresh;
    fresh.rate = {};  // power 0, step factor 0
    fresh.code1(static_cast<float>(2.5 * 0x1p-15));
    EXPECT_EQ(fresh.step, static_cast<T>(0x1p-15));
    EXPECT_EQ(fresh.code, 3);

    Channel<T> nan;
    nan.code1(std::nanf(""));
    EXPECT_EQ(nan.code, 0);
    EXPECT_EQ(nan.history->samples[0], 0);

    Channel<T> huge;  // beyond 2^31 steps: saturates at the top level
    huge.code1(-1.0e30f);
    EXPECT_EQ(huge.code, -31);
}

// A history that predicts far beyond the signal: the double coder clamps to +-1.5; the float coder
// falls back to the last two predictions when the raw prediction exceeds 3.
TYPED_TEST(MainChannelCoder, LargePredictionsAreGuarded) {
    using T = TypeParam;
    constexpr bool isFloat = std::is_same_v<T, float>;
    const std::uint32_t ring = isFloat ? 320 : 128;
    struct Case {
        float last, prior;
        float expected;  // float coder's prediction; the double coder always clamps to 1.5
    };
    const Case cases[] = {
        {0.5f, 0.2f, 0.5f},                 // g = 0.8 is larger than the last: the last
        {0.5f, 0.7f, (0.5f - 0.7f) + 0.5f}, // g = 0.3: g itself
        {0.5f, 1.2f, 0.0f},                 // g changes sign: 0
        {1.0f, 0.5f, 1.0f},
        {1.0f, 1.2f, (1.0f - 1.2f) + 1.0f},
        {1.0f, 2.0f, 0.0f},
    };
    for (const Case& c : cases) {
        Channel<T> channel;
        // A slow cosine of amplitude 10 whose next value is about 10.
        for (std::uint32_t i = 0; i < ring; ++i) {
            channel.history->samples[i] = static_cast<T>(10.0 * std::cos(2.0 * M_PI * static_cast<double>(i) / 64.0));
        }
        channel.history->fillCount = ring;
        channel.history->sumsStale = true;
        channel.history->lastPrediction = static_cast<T>(c.last);
        channel.history->priorPrediction = static_cast<T>(c.prior);
        if constexpr (isFloat) {
            channel.code1(0.0f);
            EXPECT_EQ(channel.history->lastPrediction, c.expected) << c.last << " " << c.prior;
            EXPECT_EQ(channel.history->priorPrediction, c.last);
        } else {
            channel.code1(1.5f);  // equal to the clamped prediction: code 0, reconstruction 1.5
            EXPECT_EQ(channel.code, 0);
            EXPECT_EQ(channel.history->samples[0], 1.5);
        }
    }
}

// The ring wraps: the sample after the last slot goes to slot 0, and the fill count runs on.
TYPED_TEST(MainChannelCoder, RingWrapsAtItsLength) {
    using T = TypeParam;
    const std::uint32_t ring = std::is_same_v<T, float> ? 320 : 128;
    Channel<T> channel;
    channel.history->writePos = ring - 1;
    channel.history->fillCount = 1000;
    channel.code1(static_cast<float>(2.0 * stepSize));
    EXPECT_EQ(channel.history->writePos, 0u);
    EXPECT_EQ(channel.history->samples[ring - 1], static_cast<T>(2.0 * stepSize));
    channel.code1(static_cast<float>(-1.0 * stepSize));
    EXPECT_EQ(channel.history->writePos, 1u);
    EXPECT_EQ(channel.history->fillCount, 1002u);
    EXPECT_EQ(channel.history->samples[ring], static_cast<T>(0));  // nothing beyond the ring
}

// Predictions between 1.5 and 3 are clamped without the fallback.
TEST(MainChannelCoderFloat, ModeratePredictionIsClampedWithoutFallback) {
    Channel<float> channel;
    for (std::uint32_t i = 0; i < 320; ++i) channel.history->samples[i] = 2.0f + 0.01f * static_cast<float>(i % 2);
    channel.history->fillCount = 320;
    channel.history->sumsStale = true;
    channel.history->lastPrediction = 0.5f;
    channel.history->priorPrediction = 1.2f;
    channel.code1(0.0f);
    EXPECT_EQ(channel.history->lastPrediction, 1.5f);
}

}  // namespace
