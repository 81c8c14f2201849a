// The legacy generation (codec version 0): level ladders and level scale from the bit rate, the
// per-sample coder's level search, step, rounding and guards, and the block coder's outputs.
#include "codec/EncoderKernels.h"
#include "codec/LegacyEncoder.h"
#include "codec/LegacyQuantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

using kestrava::codec::ChannelHistory;
using kestrava::codec::ChannelRateState;
using kestrava::codec::EncoderKernels;
using kestrava::codec::LegacyMainChannel;
using kestrava::codec::LegacyEncoder;
using kestrava::codec::LegacyLpc;
using kestrava::codec::LegacyQuantizer;
using kestrava::codec::encoderKernels;
using kestrava::codec::legacyLevelScale;

namespace {

TEST(LegacyLevels, LaddersOfTheOfferedRates) {
    struct Case {
        std::uint32_t rate;
        std::uint32_t count;
        std::uint32_t linearTop;   // levels 0..linearTop are the integers
        std::vector<double> next;  // the levels after it
        double last;               // the last level's leading digits
    };
    const Case cases[] = {
        {320, 154, 16, {18.0625, 19.19140625, 20.390869140625}, 64741.77},
        {340, 154, 16, {18.0625, 19.19140625, 20.390869140625}, 64741.77},
        {360, 280, 32, {34.03125, 35.0947265625}, 63980.62},
        {400, 280, 32, {34.03125, 35.0947265625}, 63980.62},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        auto q = std::make_unique<LegacyQuantizer<1>>();
        ASSERT_EQ(q->buildLevels(c.rate), c.count);
        for (std::uint32_t i = 0; i <= c.linearTop + 1; ++i) ASSERT_EQ(q->levels[i], static_cast<double>(i));
        for (std::size_t k = 0; k < c.next.size(); ++k) EXPECT_EQ(q->levels[c.linearTop + 2 + k], c.next[k]);
        EXPECT_GE(q->levels[c.count - 1], c.last);
        EXPECT_LT(q->levels[c.count - 1], c.last + 0.01);
    }
    // From 672 kbit/s the ladder would outgrow the table: it stops at the table's end.
    auto big = std::make_unique<LegacyQuantizer<1>>();
    EXPECT_EQ(big->buildLevels(672), LegacyQuantizer<1>::capacity);
}

TEST(LegacyLevels, LevelScaleOfTheBitRate) {
    const std::pair<std::uint32_t, double> cases[] = {{320, 16}, {340, 16}, {360, 32}, {384, 32},  {400, 32},
                                                      {448, 64}, {512, 128}, {576, 256}, {96, 2},  {95, 1},
                                                      {63, 1},   {0, 1}};
    for (const auto& [rate, scale] : cases) EXPECT_EQ(legacyLevelScale(rate), scale) << rate;
}

// One main channel at 320 kbit/s (W = 16) with a zero history unless a case sets it.
struct LegacyMain {
    std::unique_ptr<LegacyLpc<16>> lpc = std::make_unique<LegacyLpc<16>>();
    std::unique_ptr<ChannelHistory<double>> history = std::make_unique<ChannelHistory<double>>();
    std::unique_ptr<LegacyQuantizer<1>> quantizer = std::make_unique<LegacyQuantizer<1>>();
    ChannelRateState<double> rate{1.0, 1.0, 0, 0};  // step 1 * sqrt(1) / 16
    std::int32_t code = 0;
    double step = 0;

    LegacyMain() { rate.levelCount = static_cast<std::int32_t>(quantizer->buildLevels(320)); }

    void code1(float x) {
        float reconstruction = 0;
        encoderKernels().codeMainLegacy(*lpc, *history, rate, *quantizer, 16.0, &x, 1, &code, &step,
                                        &reconstruction, 0.0f);
    }
};

TEST(LegacyCoder, RoundsAndSearchesTheLevelTable) {
    struct Case {
        double residual;  // in steps of 1/16
        std::int32_t code;
    };
    // Levels 0..17, 18.0625, ...: 18 lies 0.0625 below level 18 and takes index 18.
    const Case cases[] = {{2.5, 3}, {-2.5, -3}, {0.4, 0}, {-0.4, 0}, {18.0, 18}, {-18.0, -18}, {1.0e6, 153}};
    for (const Case& c : cases) {
        LegacyMain channel;
        channel.code1(static_cast<float>(c.residual / 16.0));
        EXPECT_EQ(channel.code, c.code) << c.residual;
        EXPECT_EQ(channel.step, 1.0 / 16.0);
        const double level = c.code < 0 ? -channel.quantizer->levels[-c.code] : channel.quantizer->levels[c.code];
        EXPECT_EQ(channel.history->samples[0], level / 16.0);
        EXPECT_EQ(channel.rate.power, (0.1 * (level / 16.0)) * (level / 16.0) + 0.9 * 1.0);
        EXPECT_EQ(channel.history->writePos, 1u);
    }
    // Ties go to the upper level: between 2 and 4 the magnitude 3 takes index 3; between 2 and 5, 2.
    for (const auto& [third, expected] : {std::pair<double, std::int32_t>{4.0, 3}, {5.0, 2}}) {
        LegacyMain channel;
        const double table[] = {0, 1, 2, third, 100};
        std::copy(std::begin(table), std::end(table), channel.quantizer->levels);
        channel.rate.levelCount = 5;
        channel.code1(static_cast<float>(3.0 / 16.0));
        EXPECT_EQ(channel.code, expected) << third;
    }
}

TEST(LegacyCoder, GuardsStepPredictionAndNonFiniteSamples) {
    LegacyMain floorStep;
    floorStep.rate.stepFactor = 0.0;
    floorStep.code1(0.0f);
    EXPECT_EQ(floorStep.step, 0x1p-15);

    LegacyMain nan;
    nan.code1(std::nanf(""));
    EXPECT_EQ(nan.code, 0);
    EXPECT_EQ(nan.history->samples[0], 0.0);
    EXPECT_EQ(nan.rate.power, 0.9);

    // A history rising steadily predicts beyond 1.5; the prediction is held at 1.5.
    LegacyMain rising;
    for (int i = 0; i < 16; ++i) rising.history->samples[i] = 0.1 * (i + 1);
    rising.code1(1.5f);
    EXPECT_EQ(rising.code, 0);
    EXPECT_EQ(rising.history->samples[0], 1.5);

    // A single non-zero sample: all error energies equal, order 0, prediction 0.
    LegacyMain single;
    single.history->samples[5] = 0.75;
    single.code1(static_cast<float>(3.0 / 16.0));
    EXPECT_EQ(single.code, 3);
}

TEST(LegacyCoder, BlockOutputsAndThirdChannel) {
    const auto encoder = std::make_unique<LegacyEncoder>(nullptr);
    std::vector<float> planes(3 * LegacyEncoder::planeStride, 0.0f);
    std::vector<std::int32_t> codes(3 * LegacyEncoder::planeStride, 7);
    float energy = -1.0f;
    std::uint32_t count = 99;
    // Not configured yet (no level tables): refused, nothing written.
    EXPECT_EQ(encoder->encodeBlock(planes.data(), codes.data(), 4, &energy, &count), 1u);
    EXPECT_EQ(codes[0], 7);
    EXPECT_EQ(count, 99u);

    encoder->state.targetRate = 320;
    encoder->buildLevelTables(320);
    EXPECT_EQ(encoder->encodeBlock(planes.data(), codes.data(), 0, &energy, &count), 1u);
    EXPECT_EQ(energy, 0.0f);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(encoder->state.histories[0].writePos, 0u);

    // Step factors 0: both main steps 2^-15, so the third step is 0.02; 0.05 is 2.5 steps.
    planes[2 * LegacyEncoder::planeStride + 1] = 0.05f;
    planes[0] = 0.25f;
    EXPECT_EQ(encoder->encodeBlock(planes.data(), codes.data(), 3, &energy, &count), 0u);
    EXPECT_EQ(codes[2 * LegacyEncoder::planeStride + 0], 0);
    EXPECT_EQ(codes[2 * LegacyEncoder::planeStride + 1], 3);
    EXPECT_EQ(count, 6u);
    EXPECT_GT(energy, 0.0f);
    EXPECT_EQ(encoder->state.histories[2].writePos, 3u);

    std::vector<float> quiet(3 * LegacyEncoder::planeStride, 0.0f);
    quiet[0] = 0.5f;  // main channels carry signal, the third is silent
    EXPECT_EQ(encoder->encodeBlock(quiet.data(), codes.data(), 8, &energy, &count), 1u);
    EXPECT_EQ(encoder->encodeBlock(quiet.data(), codes.data(), LegacyEncoder::maxBlockLength + 1, &energy, &count),
              1u);
}

// The encoder codes both main channels in lock step; that must give exactly what coding channel 0
// and then channel 1 one after the other gives: codes, steps, reconstructions, state, and the
// energy summed over channel 0 first. Signals with loud stretches, silence and steps make the
// recursion choose different orders on the two channels.
TEST(LegacyCoder, PairInLockStepMatchesOneChannelAfterTheOther) {
    constexpr std::uint32_t n = 600;
    std::vector<float> x[2] = {std::vector<float>(n), std::vector<float>(n)};
    std::uint32_t seed = 12345;
    for (std::uint32_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        x[0][i] = i >= 200 && i < 260 ? 0.0f : 0.6f * std::sin(0.07f * static_cast<float>(i)) + 0.05f * noise;
        x[1][i] = i < 300 ? 0.3f * noise : (i % 40 < 20 ? 0.9f : -0.9f);
    }
    LegacyMain one[2], pair[2];
    std::vector<std::int32_t> codes[4] = {std::vector<std::int32_t>(n), std::vector<std::int32_t>(n),
                                          std::vector<std::int32_t>(n), std::vector<std::int32_t>(n)};
    std::vector<double> steps[4] = {std::vector<double>(n), std::vector<double>(n), std::vector<double>(n),
                                    std::vector<double>(n)};
    std::vector<float> recon[4] = {std::vector<float>(n), std::vector<float>(n), std::vector<float>(n),
                                   std::vector<float>(n)};
    const EncoderKernels& k = encoderKernels();
    float energy = 0.25f;
    for (int c = 0; c < 2; ++c) {
        one[c].rate.power = pair[c].rate.power = 0.01 * (c + 1);
        energy = k.codeMainLegacy(*one[c].lpc, *one[c].history, one[c].rate, *one[c].quantizer, 16.0, x[c].data(), n,
                                  codes[c].data(), steps[c].data(), recon[c].data(), energy);
    }
    LegacyMainChannel channels[2];
    for (int c = 0; c < 2; ++c) {
        channels[c] = {pair[c].lpc.get(),       pair[c].history.get(), &pair[c].rate,       pair[c].quantizer.get(),
                       x[c].data(),             codes[2 + c].data(),   steps[2 + c].data(), recon[2 + c].data()};
    }
    std::vector<double> later(n);
    const float pairEnergy = k.codeMainLegacyPair(channels, 16.0, n, later.data(), 0.25f);
    EXPECT_EQ(pairEnergy, energy);
    for (int c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(codes[2 + c], codes[c]);
        EXPECT_EQ(steps[2 + c], steps[c]);
        EXPECT_EQ(recon[2 + c], recon[c]);
        EXPECT_EQ(pair[c].rate.power, one[c].rate.power);
        EXPECT_EQ(pair[c].history->writePos, one[c].history->writePos);
        for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(pair[c].history->samples[i], one[c].history->samples[i]);
    }
}

}  // namespace
