// The version-0 plane rebuilder in its parts, against the values the stream's description states:
// the window, the per-sample predictor, the level ladder and step divisor of each bit rate, the
// rate control's worked example, the reload of a reset packet and the first samples of a frame.
#include "decoder/LegacyGeneration.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace streamdecoder;

namespace {

constexpr double minStep = 0x1p-15;

ResetPacket resetAt(std::uint16_t rate, std::uint8_t history = 128, std::uint8_t power = 0, std::uint8_t scale = 0) {
    ResetPacket r;
    r.bitRate = rate;
    for (ChannelRecord& c : r.records) {
        c.history.fill(history);
        c.power = power;
        c.qualityScale = scale;
    }
    r.length = 41;
    return r;
}

DecodedFrame frameOf(std::array<std::vector<std::int32_t>, 3> codes, std::size_t packetLength = 0,
                     std::size_t resetLength = 0) {
    DecodedFrame f;
    f.planeLength = codes[0].size();
    f.codes = std::move(codes);
    f.packetLength = packetLength;
    f.resetLength = resetLength;
    return f;
}

struct Planes {
    std::array<std::vector<float>, 3> samples{std::vector<float>(maxPlaneLength), std::vector<float>(maxPlaneLength),
                                              std::vector<float>(maxPlaneLength)};
    std::array<float*, 3> pointers() { return {samples[0].data(), samples[1].data(), samples[2].data()}; }
};

// The prediction of order m from the normal equations, solved directly (Gaussian elimination in
// long double) from the autocorrelation of the windowed history.
long double directPrediction(const std::array<double, 16>& ring, std::size_t order) {
    const std::array<double, 16>& w = LegacyPredictor<16>::window();
    std::array<long double, 16> x{}, r{};
    for (std::size_t j = 0; j < 16; ++j) x[j] = static_cast<long double>(ring[j]) * w[j];
    for (std::size_t lag = 0; lag < 16; ++lag) {
        for (std::size_t j = 0; j + lag < 16; ++j) r[lag] += x[j] * x[j + lag];
    }
    const std::size_t m = order;
    std::vector<std::vector<long double>> a(m, std::vector<long double>(m + 1));
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < m; ++j) a[i][j] = r[i > j ? i - j : j - i];
        a[i][m] = r[i + 1];
    }
    for (std::size_t col = 0; col < m; ++col) {
        for (std::size_t row = col + 1; row < m; ++row) {
            const long double f = a[row][col] / a[col][col];
            for (std::size_t k = col; k <= m; ++k) a[row][k] -= f * a[col][k];
        }
    }
    std::vector<long double> coef(m);
    for (std::size_t i = m; i-- > 0;) {
        long double v = a[i][m];
        for (std::size_t k = i + 1; k < m; ++k) v -= a[i][k] * coef[k];
        coef[i] = v / a[i][i];
    }
    long double p = 0;
    for (std::size_t j = 0; j < m; ++j) p += coef[j] * ring[15 - j];  // ring written from slot 0: slot 15 newest
    return p;
}

}  // namespace

TEST(LegacyPredictor, WindowIsTheSinglePrecisionHammingWindow) {
    // The single-precision cosines of the 16 angles and the window values, as the description
    // lists them (shortest decimals of the doubles).
    const double cosines[16] = {1.0,
                                0.9135454297065735,
                                0.6691305637359619,
                                0.30901697278022766,
                                -0.10452850908041,
                                -0.5000000596046448,
                                -0.8090170621871948,
                                -0.9781476259231567,
                                -0.978147566318512,
                                -0.8090169429779053,
                                -0.49999991059303284,
                                -0.10452833771705627,
                                0.3090171217918396,
                                0.6691307425498962,
                                0.913545548915863,
                                1.0};
    const double weights[16] = {0.08695652173913043, 0.12642491252525995, 0.2380056122074956,  0.40240529503511346,
                                0.5911977976236654,  0.7717391576455986,  0.9128121370854585,  0.9900239161823106,
                                0.9900238889714945,  0.9128120826638263,  0.7717390896185584,  0.5911977193925692,
                                0.40240522700807324, 0.23800553057504736, 0.12642485810362775, 0.08695652173913043};
    const std::array<double, 16>& w16 = LegacyPredictor<16>::window();
    for (std::size_t n = 0; n < 16; ++n) {
        EXPECT_EQ(w16[n], weights[n]) << n;
        EXPECT_EQ(w16[n], 25.0 / 46.0 - (21.0 / 46.0) * cosines[n]) << n;
    }
    EXPECT_NE(w16[7], w16[8]);
    const std::array<double, 6>& w6 = LegacyPredictor<6>::window();
    for (std::size_t n = 0; n < 6; ++n) EXPECT_EQ(w6[n], weights[3 * n]) << n;
    EXPECT_EQ(LegacyPredictor<16>::scale(), 0.0625);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(LegacyPredictor<6>::scale()), 0x3FC5555555555555u);
}

TEST(LegacyPredictor, EmptyAndSingleSampleHistoriesPredictZero) {
    LegacyPredictor<16> main;
    std::array<double, 16> ring{};
    EXPECT_EQ(main.predict(ring, 5), 0.0);
    EXPECT_EQ(main.order(), 0u);
    for (double e : main.predictionError()) EXPECT_EQ(e, 0.0);
    // One nonzero sample: every lag above 0 is 0, so all orders tie and the lowest wins.
    ring[9] = 0.7;
    EXPECT_EQ(main.predict(ring, 3), 0.0);
    EXPECT_EQ(main.order(), 0u);

    LegacyPredictor<6> third;
    std::array<double, 6> small{};
    small[2] = -0.25;
    EXPECT_EQ(third.predict(small, 4), 0.0);
    EXPECT_EQ(third.order(), 0u);
}

TEST(LegacyPredictor, ChosenOrderSolvesTheNormalEquationsAndPredictsASine) {
    std::array<double, 16> ring{};
    for (std::size_t t = 0; t < 16; ++t) {
        const auto x = static_cast<double>(t);
        ring[t] = 0.5 * std::sin(0.3 * x) + 0.1 * std::cos(1.1 * x);
    }
    LegacyPredictor<16> predictor;
    const double p = predictor.predict(ring, 0);  // slot 0 oldest, slot 15 newest
    ASSERT_GT(predictor.order(), 1u);
    EXPECT_NEAR(p, static_cast<double>(directPrediction(ring, predictor.order())), 1e-9);
    // Least error over all orders.
    for (double e : predictor.predictionError()) EXPECT_GE(e, predictor.predictionError()[predictor.order()]);
    const double next = 0.5 * std::sin(0.3 * 16.0) + 0.1 * std::cos(1.1 * 16.0);
    EXPECT_NEAR(p, next, 0.05);

    // The same history rotated in the ring predicts the same value.
    std::array<double, 16> rotated{};
    for (std::size_t t = 0; t < 16; ++t) rotated[(t + 11) % 16] = ring[t];
    LegacyPredictor<16> other;
    EXPECT_EQ(other.predict(rotated, 11), p);
}

TEST(LegacyPredictor, PredictionsAreLimitedToOneAndAHalf) {
    std::mt19937 random(16);
    std::uniform_real_distribution<double> phase(0.0, 6.28), frequency(0.05, 0.5);
    int limitedHigh = 0, limitedLow = 0;
    for (int trial = 0; trial < 200; ++trial) {
        std::array<double, 16> ring{};
        const double f = frequency(random), start = phase(random);
        for (std::size_t t = 0; t < 16; ++t) ring[t] = 4.0 * std::sin(start + f * static_cast<double>(t));
        LegacyPredictor<16> predictor;
        const double p = predictor.predict(ring, 0);
        ASSERT_LE(std::abs(p), 1.5) << trial;
        limitedHigh += p == 1.5;
        limitedLow += p == -1.5;
    }
    EXPECT_GT(limitedHigh, 0);
    EXPECT_GT(limitedLow, 0);
}

TEST(LegacyLevelTable, LadderAndStepDivisorOfEachBitRate) {
    struct Case {
        std::uint16_t rate;
        std::size_t count;
        double divisor;
        std::vector<double> firstGeometric;  // from index n
        double last;
    };
    const Case cases[] = {
        {320, 154, 16, {16.0, 17.0, 18.0625, 19.19140625, 20.390869140625}, 64741.77},
        {340, 154, 16, {16.0, 17.0, 18.0625}, 64741.77},
        {360, 280, 32, {32.0, 33.0, 34.03125, 35.0947265625}, 63980.62},
        {384, 280, 32, {32.0, 33.0}, 63980.62},
        {400, 280, 32, {32.0, 33.0, 34.03125, 35.0947265625}, 63980.62},
    };
    for (const Case& c : cases) {
        LegacyLevelTable table;
        table.build(c.rate);
        ASSERT_EQ(table.count(), c.count) << c.rate;
        const auto n = static_cast<std::size_t>(c.divisor);
        for (std::size_t i = 0; i <= n; ++i) ASSERT_EQ(table[i], static_cast<double>(i)) << c.rate << " " << i;
        for (std::size_t i = 0; i < c.firstGeometric.size(); ++i) {
            EXPECT_EQ(table[n + i], c.firstGeometric[i]) << c.rate << " " << n + i;
        }
        EXPECT_NEAR(table[c.count - 1], c.last, 0.01) << c.rate;
        EXPECT_GT(table[c.count - 1] * (1.0 + 1.0 / c.divisor), 65536.0) << c.rate;
        EXPECT_EQ(legacyStepDivisor(c.rate), c.divisor) << c.rate;
        ResetPacket reset;
        reset.bitRate = c.rate;
        EXPECT_GE(std::size_t{1} << parametersOf(0, reset).escapeBits, c.count) << c.rate;
    }
    const std::pair<std::uint32_t, double> divisors[] = {{96, 2},   {95, 1},    {448, 64}, {512, 128},
                                                         {576, 256}, {63, 1}, {0, 1}};
    for (const auto& [rate, divisor] : divisors) EXPECT_EQ(legacyStepDivisor(rate), divisor) << rate;

    // A rate whose ladder would outgrow the table stops at its capacity.
    LegacyLevelTable wide;
    wide.build(800);
    EXPECT_EQ(wide.count(), LegacyLevelTable::capacity);
    wide.build(65535);
    EXPECT_EQ(wide.count(), LegacyLevelTable::capacity);
    EXPECT_EQ(wide[4095], 4095.0);
}

TEST(LegacyRateControl, WorkedExampleAndItsEdges) {
    // 408 codes per channel at 38,400/s: 10,625 us, a budget of 3400 bits at 320 kbit/s.
    constexpr std::uint64_t duration = 10625;
    constexpr float loud = 816.0f * 0.01f;
    struct Step {
        std::uint32_t bytes;
        float energy;
        std::int32_t reservoir;
        double change;
    };
    const Step example[] = {
        {500, loud, 600, 6.0 / 17.0},
        {400, loud, 400, 1.0 / 17.0},
        {300, loud, -600, -4.0 / 17.0},
        {200, loud, -2400, -11.0 / 34.0},
        // 0 bytes: the reservoir stops at the budget of 10 ms; effective use 0, each factor falls by 0.5.
        {0, loud, -3200, -0.5},
        // Exactly on budget from the floor: still credit, but at most a quarter of the use.
        {425, loud, -3200, -0.125},
    };
    LegacyRateControl rate;
    rate.reset(320);
    std::array<double, 2> factors = {2.0, 3.0};
    for (std::size_t i = 0; i < std::size(example); ++i) {
        const std::array<double, 2> before = factors;
        rate.update(duration, example[i].bytes, example[i].energy, 816, factors);
        EXPECT_EQ(rate.reservoir(), example[i].reservoir) << "frame " << i + 1;
        EXPECT_NEAR(factors[0] - before[0], example[i].change, 1e-12) << "frame " << i + 1;
        EXPECT_NEAR(factors[1] - before[1], example[i].change, 1e-12) << "frame " << i + 1;
    }

    // On budget from an empty reservoir: no change. Quiet and under budget: no change; quiet and
    // over budget: raised all the same.
    struct Edge {
        std::uint32_t bytes;
        float energy;
        double start, expected;
    };
    const Edge edges[] = {
        {425, loud, 1.0, 1.0},
        {100, 0.0f, 1.0, 1.0},
        {850, 0.0f, 1.0, 3.0},
    };
    for (const Edge& e : edges) {
        LegacyRateControl fresh;
        fresh.reset(320);
        std::array<double, 2> f = {e.start, e.start};
        fresh.update(duration, e.bytes, e.energy, 816, f);
        EXPECT_EQ(f[0], e.expected) << e.bytes;
    }

    // r = 0.5 (432 codes: budget 3600, 300 bytes leave a reservoir of -1200 and an effective use
    // of 1800): a factor of 0.1 is floored at 0.0, not driven to -0.15.
    LegacyRateControl floorCase;
    floorCase.reset(320);
    std::array<double, 2> small = {0.1, 0.1};
    floorCase.update(11250, 300, loud, 864, small);
    EXPECT_EQ(small[0], 0.0);
}

TEST(LegacyGeneration, ResetPacketReloadsTheStateInItsByteForm) {
    LegacyGeneration g;
    ResetPacket reset = resetAt(320);
    const std::uint8_t bytes[16] = {255, 0, 128, 192, 64, 1, 254, 127, 129, 128, 128, 128, 128, 128, 128, 100};
    for (std::size_t k = 0; k < 16; ++k) reset.records[0].history[k] = bytes[k];
    reset.records[0].power = 255;
    reset.records[0].qualityScale = 255;
    reset.records[1].power = 33;
    reset.records[1].qualityScale = 100;
    g.loadReset(reset, parametersOf(0, reset));

    const LegacyGeneration::MainChannel& a = g.mainChannel(0);
    const double expected[16] = {127.0 / 128, -1.0, 0.0, 0.5, -0.5, -127.0 / 128, 126.0 / 128, -1.0 / 128,
                                 1.0 / 128, 0, 0, 0, 0, 0, 0, -28.0 / 128};
    for (std::size_t k = 0; k < 16; ++k) EXPECT_EQ(a.ring[k], expected[k]) << k;
    EXPECT_EQ(a.writeIndex, 0u);
    EXPECT_DOUBLE_EQ(a.power, 0.05);
    EXPECT_DOUBLE_EQ(a.stepFactor, 64.0);
    // The reloaded power of 33 is a hair below what the byte stands for: captured again it gives
    // 32, while 100, 128 and 255 come back unchanged.
    EXPECT_LT(20.0 * g.mainChannel(1).power * 255.0, 33.0);
    for (int p : {100, 128, 255}) {
        reset.records[1].power = static_cast<std::uint8_t>(p);
        g.loadReset(reset, parametersOf(0, reset));
        EXPECT_EQ(std::trunc(std::min(1.0, 20.0 * g.mainChannel(1).power) * 255.0), p) << p;
    }
    EXPECT_EQ(g.levels().count(), 154u);
    EXPECT_EQ(g.reservoir(), 0);
}

TEST(LegacyGeneration, FirstSamplesAfterANewEncodersReset) {
    // A new encoder's first reset packet: empty histories, step factors 0, so the main step is the
    // floor 2^-15 and the third channel's the floor 0.02. An empty or one-sample history predicts
    // 0, so the first two samples of each plane are their levels times the step.
    LegacyGeneration g;
    const ResetPacket reset = resetAt(320);
    g.loadReset(reset, parametersOf(0, reset));
    Planes out;
    std::array<std::vector<std::int32_t>, 3> codes = {std::vector<std::int32_t>{3, -17, 0, 0},
                                                      std::vector<std::int32_t>{18, 153, 0, 0},
                                                      std::vector<std::int32_t>{5, -18, 0, 0}};
    g.decode(frameOf(codes, 500, 41), out.pointers());
    EXPECT_EQ(out.samples[0][0], static_cast<float>(3 * minStep));
    EXPECT_EQ(out.samples[0][1], static_cast<float>(-17 * minStep));
    EXPECT_EQ(out.samples[1][0], static_cast<float>(18.0625 * minStep));
    EXPECT_EQ(out.samples[1][1], static_cast<float>(64741.772839257093 * minStep));
    EXPECT_EQ(out.samples[2][0], static_cast<float>(5 * 0.02));
    EXPECT_EQ(out.samples[2][1], static_cast<float>(-18.0625 * 0.02));
    // Power follows the squared reconstruction: 0.1 r^2 + 0.9 P.
    const double r = 3 * minStep, r2 = -17 * minStep;
    EXPECT_GT(g.mainChannel(0).power, 0.0);
    EXPECT_NEAR(g.mainChannel(0).power, 0.9 * 0.9 * (0.1 * r2 * r2 + 0.9 * 0.1 * r * r), 1e-20);
    // 459 bytes charged for 4 codes (104 us, a budget of 33 bits at 320 kbit/s): well over, so the
    // step factors rise by effective / budget - 1 (effective = use + reservoir).
    const double effective = 459 * 8 + (459 * 8 - 33);
    EXPECT_NEAR(g.mainChannel(0).stepFactor, effective / 33 - 1, 1e-9);
    EXPECT_EQ(g.mainChannel(1).stepFactor, g.mainChannel(0).stepFactor);
    EXPECT_EQ(g.reservoir(), 459 * 8 - 33);
}

TEST(LegacyGeneration, LoudMainStepsSetTheThirdStep) {
    // Power byte 255 (0.05) and step factor byte 255 (64) at 320 kbit/s: a main step of
    // 64 * sqrt(0.05) / 16, and the third channel's step is the larger main step over 1.4142
    // taken in single precision, well above its floor.
    LegacyGeneration g;
    const ResetPacket reset = resetAt(320, 128, 255, 255);
    g.loadReset(reset, parametersOf(0, reset));
    const double mainStep = g.mainChannel(0).stepFactor * std::sqrt(g.mainChannel(0).power) / 16.0;
    ASSERT_NEAR(mainStep, 64.0 * std::sqrt(0.05) / 16.0, 1e-12);
    Planes out;
    const std::array<std::vector<std::int32_t>, 3> codes = {std::vector<std::int32_t>{2}, std::vector<std::int32_t>{-1},
                                                            std::vector<std::int32_t>{-20}};
    g.decode(frameOf(codes, 100), out.pointers());
    EXPECT_EQ(out.samples[0][0], static_cast<float>(2 * mainStep));
    EXPECT_EQ(out.samples[1][0], static_cast<float>(-mainStep));
    const double level20 = 16.0 * (1.0 + 1.0 / 16) * (1.0 + 1.0 / 16) * (1.0 + 1.0 / 16) * (1.0 + 1.0 / 16);
    EXPECT_EQ(out.samples[2][0], static_cast<float>(-(level20 * (mainStep / 1.41419994831085205078125))));
}

TEST(LegacyGeneration, ResetClearsTheThirdHistoryAndSilenceStaysZero) {
    LegacyGeneration g;
    const ResetPacket reset = resetAt(400, 160, 20, 40);
    g.loadReset(reset, parametersOf(0, reset));
    Planes out;
    std::array<std::vector<std::int32_t>, 3> codes;
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> code(-40, 40);
    for (auto& plane : codes) {
        plane.resize(408);
        for (std::int32_t& c : plane) c = code(random);
    }
    g.decode(frameOf(codes, 900), out.pointers());

    // After the next reset the third channel starts from an empty history again.
    g.loadReset(reset, parametersOf(0, reset));
    std::array<std::vector<std::int32_t>, 3> next = {std::vector<std::int32_t>(408, 0),
                                                     std::vector<std::int32_t>(408, 0),
                                                     std::vector<std::int32_t>(408, 0)};
    next[2][0] = 7;
    g.decode(frameOf(next, 300), out.pointers());
    // The main channels' steps with this reset's power and factor lie below the third floor.
    EXPECT_EQ(out.samples[2][0], static_cast<float>(7 * 0.02));

    // A silent third plane of an empty history stays exactly zero.
    g.loadReset(reset, parametersOf(0, reset));
    std::array<std::vector<std::int32_t>, 3> silent = next;
    silent[2].assign(408, 0);
    g.decode(frameOf(silent, 300), out.pointers());
    for (std::size_t i = 0; i < 408; ++i) ASSERT_EQ(std::bit_cast<std::uint32_t>(out.samples[2][i]), 0u) << i;
}

TEST(LegacyGeneration, RefusesWhatItCannotRebuildWithoutChangingState) {
    LegacyGeneration g;
    Planes out;
    const std::array<std::vector<std::int32_t>, 3> quiet = {std::vector<std::int32_t>(4, 1),
                                                            std::vector<std::int32_t>(4, 1),
                                                            std::vector<std::int32_t>(4, 0)};
    EXPECT_THROW(g.decode(frameOf(quiet, 100), out.pointers()), std::out_of_range);  // no reset yet

    const ResetPacket reset = resetAt(320, 150, 10, 10);
    g.loadReset(reset, parametersOf(0, reset));
    const LegacyGeneration::MainChannel before = g.mainChannel(0);
    struct Case {
        const char* name;
        std::size_t plane;
        std::int32_t code;
    };
    const Case cases[] = {{"one past the table", 0, 154},
                          {"negative, past the table", 1, -154},
                          {"third plane", 2, 1000},
                          {"most negative", 0, std::numeric_limits<std::int32_t>::min()}};
    for (const Case& c : cases) {
        std::array<std::vector<std::int32_t>, 3> codes = quiet;
        codes[c.plane][3] = c.code;
        EXPECT_THROW(g.decode(frameOf(codes, 100), out.pointers()), std::out_of_range) << c.name;
    }
    DecodedFrame tooLong = frameOf(quiet, 100);
    tooLong.planeLength = maxPlaneLength + 1;
    EXPECT_THROW(g.decode(tooLong, out.pointers()), std::out_of_range);
    DecodedFrame shortCodes = frameOf(quiet, 100);
    shortCodes.planeLength = 5;
    EXPECT_THROW(g.decode(shortCodes, out.pointers()), std::out_of_range);

    EXPECT_EQ(g.mainChannel(0).ring, before.ring);
    EXPECT_EQ(g.mainChannel(0).power, before.power);
    EXPECT_EQ(g.mainChannel(0).stepFactor, before.stepFactor);
    EXPECT_EQ(g.reservoir(), 0);
    // The table's last code is fine.
    std::array<std::vector<std::int32_t>, 3> edge = quiet;
    edge[0][3] = -153;
    EXPECT_NO_THROW(g.decode(frameOf(edge, 100), out.pointers()));
}
