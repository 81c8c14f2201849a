// The single-precision generation's reset reload and its per-sample rebuild, against values the
// format states or that follow from it by hand.
#include "decoder/FloatGeneration.h"
#include "decoder/FloatLevels.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

using namespace streamdecoder;

TEST(FloatReset, HistoryBytesReloadAsStated) {
    ChannelRecord record;
    const std::uint8_t history[12] = {128, 192, 64, 0, 255, 129, 127, 128, 128, 128, 128, 1};
    std::copy(std::begin(history), std::end(history), record.history.begin());
    const float samples[12] = {0.0f, 0.5f, -0.5f, -1.0f, 0.9921875f, 0.0078125f, -0.0078125f, 0, 0, 0, 0,
                               -0.9921875f};
    const std::array<float, 12> reloaded = reloadedHistory(record);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(reloaded[k], samples[k]) << k;
}

TEST(FloatReset, NoiseLevelsOfTheRateBlock) {
    // Each level the settings offer, with the byte it travels as.
    const std::pair<std::int32_t, std::uint8_t> offered[] = {{256, 80}, {192, 72}, {128, 64}, {96, 56}, {80, 52},
                                                             {64, 48},  {48, 40},  {32, 32},  {24, 24}, {1, 1}};
    for (const auto& [level, byte] : offered) EXPECT_EQ(expandedNoiseLevel(byte), level) << int(byte);
}

// The power and step-factor bytes set the first step: sqrt(power) * factor, here with a silent
// history (prediction 0) and code 1, so the first reconstruction is the step itself.
TEST(FloatReset, PowerAndFactorBytesSetTheFirstStep) {
    struct Case {
        std::uint8_t power, factor;
        float step;
    };
    const float p127 = 127.0f / 255.0f, q180 = 180.0f / 255.0f;
    const Case cases[] = {{255, 255, 2.0f},                              // power 1.0, factor 2.0
                          {255, 180, 2.0f * (q180 * q180)},              // factor 1.0 travels as 180
                          {127, 255, std::sqrt(p127 * p127) * 2.0f},     // power 0.25 travels as 127
                          {0, 255, 1.0f / 32768.0f}};                    // power 0: the minimum step
    for (const Case& c : cases) {
        ResetPacket reset;
        reset.bitRate = 1000;  // the step-factor floor there is far below every factor here
        for (ChannelRecord& r : reset.records) {
            r.history.fill(128);
            r.power = c.power;
            r.qualityScale = c.factor;
        }
        auto generation = makeFloatGeneration();
        generation->loadReset(reset, StreamParameters{3, 1000, 12, 0});
        DecodedFrame frame;
        frame.planeLength = 1;
        frame.codes = {std::vector<std::int32_t>{1}, std::vector<std::int32_t>{-1}, std::vector<std::int32_t>{0}};
        frame.packetLength = 100;
        float a = 0, b = 0, third = 0;
        generation->decode(frame, {&a, &b, &third});
        EXPECT_EQ(a, c.step) << int(c.power) << " " << int(c.factor);
        EXPECT_EQ(b, -c.step);
    }
}

TEST(FloatGeneration, LargePredictionsFallBackAndAreClamped) {
    const float above3 = std::nextafter(3.0f, 4.0f);
    struct Case {
        float raw, last, prior, bounded;
    };
    const Case cases[] = {
        {3.0f, 0.5f, 0.2f, 1.5f},             // exactly 3.0: no fallback, only the clamp
        {above3, 0.5f, 0.2f, 0.5f},           // extrapolation 0.8 is past the last prediction
        {-above3, 0.5f, 0.7f, (0.5f - 0.7f) + 0.5f},  // 0.3 stands
        {above3, 0.5f, 1.2f, 0.0f},           // -0.2 is against the last prediction's sign
        {-5.0f, 1.0f, 1.2f, (1.0f - 1.2f) + 1.0f},
        {5.0f, 0.5f, 2.0f, 0.0f},
        {2.9f, 0.0f, 0.0f, 1.5f},
        {-2.9f, 0.0f, 0.0f, -1.5f},
        {0.25f, 9.0f, -9.0f, 0.25f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(boundedPrediction(c.raw, c.last, c.prior), c.bounded) << c.raw << " " << c.last << " " << c.prior;
    }
}

// Right after a reset of silent channels every prediction is 0 and the power is 0, so the step is
// the minimum step (2^-15 at 320 kbit/s) and a code's reconstruction is its level times that step;
// the third channel's step is the larger main step over 1.4142, never below 0.02.
TEST(FloatGeneration, FirstSamplesAfterASilentReset) {
    ResetPacket reset;
    reset.bitRate = 320;
    for (ChannelRecord& r : reset.records) {
        r.history.fill(128);
        r.power = 0;
        r.qualityScale = 255;
    }
    StreamParameters parameters;
    parameters.version = 3;
    parameters.bitRate = 320;
    auto generation = makeFloatGeneration();
    generation->loadReset(reset, parameters);

    DecodedFrame frame;
    frame.planeLength = 1;
    frame.codes = {std::vector<std::int32_t>{5}, std::vector<std::int32_t>{-20}, std::vector<std::int32_t>{3}};
    frame.packetLength = 100;
    std::array<float, 1> a{}, b{}, c{};
    generation->decode(frame, {a.data(), b.data(), c.data()});

    const float minStep = 1.0f / 32768.0f;
    EXPECT_EQ(a[0], 5.0f * minStep);
    // Class 2 at 320 kbit/s: linear up to 13, then levels grow by 1.0775.
    double level = 13.0;
    for (int i = 13; i < 20; ++i) level *= 1.0775;
    EXPECT_EQ(b[0], -static_cast<float>(level) * minStep);
    EXPECT_EQ(c[0], 3.0f * 0.02f);
}

// The reset's rate fields reach the rate set-up: a step factor of 0 is raised to the rate's floor,
// so with power 1.0 and a silent history the first reconstruction of code 1 is that floor.
TEST(FloatGeneration, ResetRateFieldsSetTheStepFloor) {
    struct Case {
        std::uint16_t bitRate;
        bool plus, vbr;
        float floor;
    };
    const Case cases[] = {{320, false, false, 0.283872843f},  {480, false, false, 0.0714505538f},
                          {1000, false, false, 0.00159014447f}, {2000, false, false, 0.00159014447f},
                          {160, true, false, 1.33554864f},      {100, true, false, 1.33554864f},
                          {160, true, true, 1.36630833f},       {160, false, false, 0.283872843f}};
    for (const Case& c : cases) {
        ResetPacket reset;
        reset.bitRate = c.bitRate;
        reset.plusMode = c.plus;
        reset.variableBitRate = c.vbr;
        reset.noiseLevel = 32;
        reset.maxBitRate = c.bitRate;
        for (ChannelRecord& r : reset.records) {
            r.history.fill(128);
            r.power = 255;
            r.qualityScale = 0;
        }
        auto generation = makeFloatGeneration();
        generation->loadReset(reset, StreamParameters{3, c.bitRate, 12, 0});
        DecodedFrame frame;
        frame.planeLength = 1;
        frame.codes = {std::vector<std::int32_t>{1}, std::vector<std::int32_t>{1}, std::vector<std::int32_t>{0}};
        frame.packetLength = 100;
        float a = 0, b = 0, third = 0;
        generation->decode(frame, {&a, &b, &third});
        EXPECT_EQ(a, c.floor) << c.bitRate << (c.plus ? " plus" : "") << (c.vbr ? " vbr" : "");
        EXPECT_EQ(b, c.floor);
    }
}

// Codes no encoder writes (only a damaged stream could carry them) take the top level of their
// class; a frame without a reset packet before it, or with fewer codes than samples, is skipped
// (zero planes, state untouched); a frame longer than any the encoder sends is still rebuilt.
TEST(FloatGeneration, ImpossibleInputIsBoundedOrSkipped) {
    ResetPacket reset;
    reset.bitRate = 320;
    for (ChannelRecord& r : reset.records) r.history.fill(128);
    auto generation = makeFloatGeneration();

    DecodedFrame frame;
    frame.planeLength = 4;
    const std::vector<std::int32_t> wild = {INT32_MIN, INT32_MAX, -4096, 100000};
    frame.codes = {wild, wild, wild};
    frame.packetLength = 100;
    std::array<float, 4> a{}, b{}, c{};
    a.fill(1.0f);
    generation->decode(frame, {a.data(), b.data(), c.data()});
    EXPECT_EQ(a, (std::array<float, 4>{}));  // no reset yet

    generation->loadReset(reset, StreamParameters{3, 320, 7, 0});
    DecodedFrame shortFrame = frame;
    shortFrame.planeLength = 5;
    std::array<float, 5> skipped{};
    generation->decode(shortFrame, {skipped.data(), skipped.data(), skipped.data()});
    generation->decode(frame, {a.data(), b.data(), c.data()});
    // Class 2 (320 kbit/s) tops out at 64493.08 steps of 2^-15; that sample's step is the top
    // spacing times 2^-15, which over 1.4142 sets the third channel's step; its class 0 tops out
    // at 55105.49.
    const float minStep = 1.0f / 32768.0f;
    const auto& class2 = floatLevelClasses()[2].levels;
    EXPECT_EQ(a[0], -64493.08203125f * minStep);
    EXPECT_EQ(c[0], -55105.4921875f * (((class2[127] - class2[126]) * minStep) / 1.4142f));
    for (const auto* plane : {&a, &b, &c}) {
        for (float v : *plane) EXPECT_TRUE(std::isfinite(v));
    }

    DecodedFrame longFrame;
    longFrame.planeLength = maxPlaneLength + 100;
    for (auto& codes : longFrame.codes) codes.assign(longFrame.planeLength, 1);
    longFrame.packetLength = 2000;
    std::vector<float> x(longFrame.planeLength), y(longFrame.planeLength), z(longFrame.planeLength);
    // After the absurd frame above the rate replay has multiplied the step factors by 2^30, so
    // only the reach of the rebuild is checked here (the sanitizer builds watch its bounds).
    EXPECT_NO_THROW(generation->decode(longFrame, {x.data(), y.data(), z.data()}));
}
