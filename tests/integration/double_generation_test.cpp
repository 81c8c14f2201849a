// The double-precision plane rebuilder against the stated values: level tables, the predictors'
// worked examples, the state a reset packet sets, the third channel's step and the dispatch that
// runs a generation per codec version over a decoded stream.
#include "decoder/DoubleGeneration.h"
#include "decoder/DoubleLevels.h"
#include "decoder/PlaneDecoder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

using namespace streamdecoder;

namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// A reset packet whose two records carry the given history bytes, power and scale bytes.
ResetPacket resetWith(std::uint16_t rate, const std::array<std::uint8_t, 16>& history, std::uint8_t power,
                      std::uint8_t scale) {
    ResetPacket r;
    r.bitRate = rate;
    r.length = 41;
    for (auto& rec : r.records) {
        rec.history = history;
        rec.power = power;
        rec.qualityScale = scale;
    }
    return r;
}

DecodedFrame frameOf(std::size_t n, const std::array<std::vector<std::int32_t>, 3>& codes, int version,
                     std::uint16_t rate) {
    DecodedFrame f;
    f.planeLength = n;
    f.codes = codes;
    f.parameters.version = version;
    f.parameters.bitRate = rate;
    f.packetLength = 400;
    return f;
}

std::array<std::uint8_t, 16> rampBytes() {
    std::array<std::uint8_t, 16> h{};
    for (int j = 0; j < 16; ++j) h[j] = static_cast<std::uint8_t>(128 + 8 * j);  // j / 16
    return h;
}

}  // namespace

TEST(DoubleLevels, TablesFollowTheRunningProduct) {
    const std::uint64_t top[8] = {0x40EAE82FCC2934D5, 0x40ECC5CBA913111C, 0x40EF7DA2A920B3F0, 0x40EFE802EDBF903D,
                                  0x40EF9DA4D5666859, 0x40EFCB73FAD86208, 0x40EFECE0360ABD87, 0x40EFFEA3AB149878};
    const std::uint32_t linear[8] = {3, 6, 13, 29, 65, 144, 325, 748};
    const auto& classes = doubleLevelClasses();
    for (std::size_t k = 0; k < 8; ++k) {
        ASSERT_EQ(classes[k].count(), 32u << k);
        EXPECT_EQ(classes[k].linearLimit, linear[k]);
        EXPECT_EQ(bits(classes[k].levels.back()), top[k]) << "class " << k;
        EXPECT_EQ(classes[k].levels[linear[k]], linear[k]);
    }
    EXPECT_EQ(bits(classes[1].levels[7]), 0x401C333333333334u);
    EXPECT_EQ(bits(classes[2].levels[14]), 0x402C03D70A3D70A3u);
    EXPECT_EQ(bits(classes[4].levels[66]), 0x405080E560418938u);
    EXPECT_EQ(classes[0].levels[5], 6.049199999999999);
    EXPECT_EQ(classes[7].levels[749], 749.000263);
    EXPECT_EQ(classes[7].levels[1000], 1047.5033613438459);
    EXPECT_EQ(classes[7].levels[3000], 15167.013979641171);
    EXPECT_EQ(classes[7].levels[4094], 65437.60819228904);
}

TEST(DoublePredictors, WorkedExamplesOfTheMainChannel) {
    // Full ring: slot t holds ((37 t mod 256) - 128) / 128.
    MainRing full;
    for (std::uint32_t t = 0; t < 128; ++t) full.samples[t] = (static_cast<double>((37 * t) % 256) - 128.0) / 128.0;
    full.writeIndex = 0;
    full.fillCount = 128;
    auto c = mainPredictorCoefficients(full);
    EXPECT_EQ(bits(c[1]), bits(0x1.13bf53f1c36c4p-5));
    EXPECT_EQ(bits(c[2]), bits(-0x1.a56874165cf4ep-4));
    EXPECT_EQ(bits(c[15]), bits(-0x1.fd075ac950074p-6));
    double p = 0.0;
    for (std::uint32_t k = 1; k <= 15; ++k) p = p + c[k] * full.back(k);
    EXPECT_EQ(bits(p), bits(-0x1.39f4cec870f88p-10));

    // Right after a reset: slots 0..15 hold j / 16.
    MainRing reset;
    reset.clear(16);
    for (int j = 0; j < 16; ++j) reset.samples[j] = j / 16.0;
    c = mainPredictorCoefficients(reset);
    EXPECT_EQ(bits(c[1]), bits(0x1.b4035ed619aa2p+0));
    EXPECT_EQ(bits(c[15]), bits(-0x1.1b38f18c3f86fp-5));

    // Nothing to learn from: an empty ring, or one non-zero sample.
    MainRing empty;
    for (double v : mainPredictorCoefficients(empty)) EXPECT_EQ(v, 0.0);
    MainRing single;
    single.push(0.5);
    for (double v : mainPredictorCoefficients(single)) EXPECT_EQ(v, 0.0);
}

TEST(DoublePredictors, WorkedExamplesOfTheThirdChannel) {
    ThirdRing flat;
    for (int i = 0; i < 64; ++i) flat.push(0.25);
    const auto a = thirdPredictorCoefficients(flat);
    EXPECT_EQ(a[1], 1.805515788365704);
    EXPECT_EQ(a[2], -0.41604883410314486);
    EXPECT_EQ(a[3], -0.46138506417908837);
    EXPECT_EQ(a[4], -0.19194168408673223);
    EXPECT_EQ(a[5], 0.2616912176582752);
    // More history gives the same coefficients for the same 64 newest samples.
    ThirdRing longer = flat;
    for (int i = 0; i < 64; ++i) longer.push(0.25);
    EXPECT_EQ(thirdPredictorCoefficients(longer), a);
    ThirdRing afterReset;
    afterReset.clear(6);
    for (double v : thirdPredictorCoefficients(afterReset)) EXPECT_EQ(v, 0.0);
    // Fewer than six samples only after 2^32 without a reset: bounded, no reads outside the ring.
    ThirdRing few;
    few.push(0.5);
    few.push(-0.25);
    for (double v : thirdPredictorCoefficients(few)) EXPECT_TRUE(std::isfinite(v));
}

TEST(DoubleGeneration, ResetPacketSetsTheStateItDescribes) {
    DoubleGeneration g(2);
    StreamParameters params;
    params.version = 2;
    params.bitRate = 800;
    auto history = rampBytes();
    history[0] = 0;  // -1.0
    history[15] = 255;  // 127/128
    g.loadReset(resetWith(800, history, 127, 180), params);
    for (int c = 0; c < 2; ++c) {
        const MainRing& ring = g.mainRing(c);
        EXPECT_EQ(ring.writeIndex, 16u);
        EXPECT_EQ(ring.fillCount, 16u);
        EXPECT_EQ(ring.samples[0], -1.0);
        EXPECT_EQ(ring.samples[1], 1.0 / 16);
        EXPECT_EQ(ring.samples[15], 127.0 / 128);
        EXPECT_EQ(ring.samples[16], 0.0);
        const auto& ch = g.rate().channels[c];
        EXPECT_EQ(ch.power, (127.0 / 255) * (127.0 / 255));
        EXPECT_EQ(ch.stepFactor, 2 * ((180.0 / 255) * (180.0 / 255)));
        EXPECT_EQ(ch.levelClass, 5);  // 800 kbit/s is limited to 576
        EXPECT_EQ(ch.minStep, 0x1p-15);
    }
    EXPECT_EQ(g.thirdRing().writeIndex, 6u);
    EXPECT_EQ(g.thirdRing().fillCount, 6u);
    EXPECT_EQ(g.rate().reservoir, 0);
    EXPECT_EQ(g.rate().codecVersion, 2);
}

TEST(DoubleGeneration, FirstSamplesAfterAResetAndTheThirdChannelStep) {
    // The ring j / 16 predicts 0.9655839657765876; at power 0 the step is the minimum, so code 0
    // rebuilds the prediction itself.
    {
        DoubleGeneration g(1);
        StreamParameters params;
        params.version = 1;
        g.loadReset(resetWith(320, rampBytes(), 0, 0), params);
        std::array<float, 1> a{}, b{}, t{};
        g.decode(frameOf(1, {{{0}, {0}, {5}}}, 1, 320), {a.data(), b.data(), t.data()});
        EXPECT_EQ(a[0], static_cast<float>(0x1.ee6105851ad7bp-1));
        EXPECT_EQ(b[0], a[0]);
        // Third channel: six zero samples predict 0; both main steps are far below 0.02 x 1.4142,
        // so its step is 0.02 and code 5 of class 0 is 6.049199999999999 steps.
        EXPECT_EQ(t[0], static_cast<float>(6.049199999999999 * 0.02));
        EXPECT_EQ(g.mainRing(0).writeIndex, 17u);
        EXPECT_EQ(g.thirdRing().fillCount, 7u);
    }
    // A main code above the linear limit hands the third channel its level spacing: in class 2,
    // code 15 spaces 1.0855815551757786 steps (level 14 taken in float).
    {
        DoubleGeneration g(2);
        StreamParameters params;
        params.version = 2;
        const std::array<std::uint8_t, 16> silent = {128, 128, 128, 128, 128, 128, 128, 128,
                                                     128, 128, 128, 128, 128, 128, 128, 128};
        g.loadReset(resetWith(320, silent, 255, 255), params);  // power 1, factor 2: step 2
        std::array<float, 1> a{}, b{}, t{};
        g.decode(frameOf(1, {{{-15}, {0}, {1}}}, 2, 320), {a.data(), b.data(), t.data()});
        EXPECT_EQ(a[0], static_cast<float>(-15.093081249999997 * 2.0));
        EXPECT_EQ(b[0], 0.0f);
        EXPECT_EQ(t[0], static_cast<float>((1.0855815551757786 * 2.0) / 1.414199948310852));
    }
}

TEST(DoubleGeneration, DamagedCodesStayInsideTheTables) {
    DoubleGeneration g(2);
    StreamParameters params;
    params.version = 2;
    g.loadReset(resetWith(320, rampBytes(), 200, 200), params);
    std::array<float, 3> a{}, b{}, t{};
    g.decode(frameOf(3, {{{INT32_MIN, INT32_MAX, 5000}, {-5000, 7, 0}, {INT32_MIN, 40, -32}}}, 2, 320),
             {a.data(), b.data(), t.data()});
    for (float v : a) EXPECT_TRUE(std::isfinite(v));
    for (float v : t) EXPECT_TRUE(std::isfinite(v));
}

TEST(PlaneDecoder, AGenerationPerVersionReloadedAtEveryResetPacket) {
    // Version 2 frames, then version 1 from its own reset packet: the version 1 part rebuilds
    // exactly as it does alone. A frame of a new version without a reset packet has nothing to
    // build on.
    const std::array<std::vector<std::int32_t>, 3> codes = {{{3, -2, 40, 0}, {1, 1, -1, 9}, {0, 2, 0, -1}}};
    auto withReset = [&](int version, std::uint16_t rate, std::uint8_t scale) {
        DecodedFrame f = frameOf(4, codes, version, rate);
        f.reset = resetWith(rate, rampBytes(), 40, scale);
        f.resetLength = 41;
        f.packetLength = 441;
        return f;
    };
    StreamDecodeResult mixed;
    mixed.frames = {withReset(2, 400, 90), frameOf(4, codes, 2, 400), withReset(1, 320, 60), frameOf(4, codes, 1, 320),
                    frameOf(4, codes, 2, 400)};
    mixed.positions = {0, 20, 40, 60, 80};
    StreamDecodeResult alone;
    alone.frames = {mixed.frames[2], mixed.frames[3]};
    alone.positions = {40, 60};
    const DecodedPlanes all = decodePlanes(mixed);
    const DecodedPlanes part = decodePlanes(alone);
    ASSERT_EQ(all.planes.size(), 4u);
    EXPECT_EQ(all.unsupportedFrames, 1u);
    EXPECT_EQ(all.positions, (std::vector<std::uint32_t>{0, 20, 40, 60}));
    ASSERT_EQ(part.planes.size(), 2u);
    EXPECT_EQ(all.planes[2], part.planes[0]);
    EXPECT_EQ(all.planes[3], part.planes[1]);
    EXPECT_NE(all.planes[0], all.planes[1]);
}
