// The single-precision generation's levels and predictors against the values the format states:
// level classes, the order-11 predictor's worked frame, its carried middle sums against a rebuilt
// frame, and both predictors against a plain double-precision recursion.
#include "decoder/FloatLevels.h"
#include "decoder/FloatMainPredictor.h"
#include "decoder/FloatThirdPredictor.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

using namespace streamdecoder;

namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// Textbook autocorrelation method in double over an already windowed frame: the oracle for the
// float predictors, which must agree to a few parts in 10^4.
std::vector<double> referencePredictor(const std::vector<double>& frame, int order) {
    std::vector<double> r(static_cast<std::size_t>(order) + 1, 0.0);
    for (int k = 0; k <= order; ++k) {
        for (std::size_t t = static_cast<std::size_t>(k); t < frame.size(); ++t) r[k] += frame[t] * frame[t - k];
    }
    std::vector<double> a(static_cast<std::size_t>(order) + 1, 0.0);
    double e = r[0];
    for (int m = 1; m <= order; ++m) {
        double acc = 0.0;
        for (int j = 1; j < m; ++j) acc += a[j] * r[m - j];
        const double k = (r[m] - acc) / e;
        std::vector<double> next = a;
        for (int j = 1; j < m; ++j) next[j] = a[j] - k * a[m - j];
        next[m] = k;
        a = next;
        e *= 1.0 - k * k;
    }
    return a;
}

// An AR(2) signal with a little noise: a predictor fit to it is well conditioned.
std::vector<float> resonance(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    std::vector<float> x(count, 0.0f);
    for (std::size_t t = 2; t < count; ++t) x[t] = 1.6f * x[t - 1] - 0.8f * x[t - 2] + noise(random);
    return x;
}

}  // namespace

TEST(FloatLevels, ClassesHoldTheStatedLevels) {
    const auto& classes = floatLevelClasses();
    const float class0[32] = {0, 1, 2, 3, 4.26f, 6.0492f, 8.589864f, 12.197607f, 17.320602f, 24.595255f,
                              34.925262f, 49.593872f, 70.423294f, 100.00108f, 142.00154f, 201.64218f,
                              286.3319f, 406.5913f, 577.3596f, 819.8507f, 1164.188f, 1653.147f, 2347.4688f,
                              3333.4055f, 4733.4355f, 6721.479f, 9544.5f, 13553.189f, 19245.53f, 27328.652f,
                              38806.688f, 55105.492f};
    for (int i = 0; i < 32; ++i) EXPECT_EQ(bits(classes[0].levels[i]), bits(class0[i])) << "class 0 level " << i;

    struct Row {
        std::uint32_t count, bits, linearLimit;
        float next, top;
    };
    const Row rows[8] = {{32, 5, 3, 4.26f, 55105.4921875f},         {64, 6, 6, 7.05f, 58926.36328125f},
                         {128, 7, 13, 14.0075f, 64493.08203125f},   {256, 8, 29, 30.00775f, 65344.08984375f},
                         {512, 9, 65, 66.014f, 64749.15234375f},    {1024, 10, 144, 145.00513f, 65115.625f},
                         {2048, 11, 325, 326.00262f, 65383.0078125f}, {4096, 12, 748, 749.00024f, 65525.11328125f}};
    for (int k = 0; k < 8; ++k) {
        const FloatLevelClass& c = classes[k];
        SCOPED_TRACE(k);
        EXPECT_EQ(c.count, rows[k].count);
        EXPECT_EQ(c.bits, rows[k].bits);
        EXPECT_EQ(c.linearLimit, rows[k].linearLimit);
        EXPECT_EQ(c.levels[c.linearLimit - 1], static_cast<float>(c.linearLimit - 1));
        EXPECT_EQ(c.levels[c.linearLimit], static_cast<float>(c.linearLimit));
        EXPECT_EQ(bits(c.levels[c.linearLimit + 1]), bits(rows[k].next));
        EXPECT_EQ(bits(c.levels[c.count - 1]), bits(rows[k].top));
        for (std::uint32_t i = 1; i < c.count; ++i) ASSERT_GE(c.levels[i] - c.levels[i - 1], 1.0f) << i;
    }
    EXPECT_EQ(bits(classes[7].levels[4095]), 0x477FF51Du);
}

TEST(FloatMainPredictor, WorkedFrameOfTwoSamples) {
    FloatMainHistory h;
    h.samples[0] = 0.5f;
    h.samples[1] = -0.25f;
    h.writePos = h.fillCount = 2;
    FloatMainPredictor predictor;
    predictor.update(h);
    EXPECT_EQ(bits(predictor.correlation()[0]), 0x37F0A9BBu);
    EXPECT_EQ(bits(predictor.correlation()[1]), 0xB74087C9u);
    for (int k = 2; k <= 11; ++k) EXPECT_EQ(predictor.correlation()[k], 0.0f) << k;
    EXPECT_EQ(bits(predictor.row(1)[1]), 0xBECCCCCDu);
    const std::uint32_t row11[4] = {0xBEFFFFFE, 0xBE7FFFF3, 0xBDFFFFC3, 0xBD7FFF02};
    for (int j = 0; j < 4; ++j) EXPECT_EQ(bits(predictor.coefficients()[j + 1]), row11[j]) << j + 1;
    EXPECT_TRUE(h.sumsStale);
}

TEST(FloatMainPredictor, OneOrNoSampleGivesZeroCoefficients) {
    for (std::uint32_t fill : {0u, 1u}) {
        FloatMainHistory h;
        h.samples[0] = 0.75f;
        h.writePos = h.fillCount = fill;
        FloatMainPredictor predictor;
        predictor.update(h);
        for (int m = 1; m <= 11; ++m) {
            for (int j = 0; j <= 11; ++j) EXPECT_EQ(predictor.row(m)[j], 0.0f) << "fill " << fill << " row " << m;
        }
    }
}

// Samples on a 1/128 grid make every product and sum of the untapered middle exact, so the
// carried sums must give the same bits as a frame rebuilt from scratch at every step; a wrong
// pair entering or leaving them, or a wrong slot at the ring's wrap, would not.
TEST(FloatMainPredictor, CarriedMiddleSumsEqualARebuiltFrame) {
    std::mt19937 random(16);
    std::uniform_int_distribution<int> grid(-8, 8);
    FloatMainHistory h;
    h.writePos = h.fillCount = 12;
    FloatMainPredictor carried;
    int steady = 0;
    for (int step = 0; step < 1000; ++step) {
        carried.update(h);
        if (h.fillCount >= 320) {
            ++steady;
            FloatMainHistory copy = h;
            copy.sumsStale = true;
            FloatMainPredictor rebuilt;
            rebuilt.update(copy);
            for (int k = 0; k <= 11; ++k) {
                ASSERT_EQ(bits(carried.correlation()[k]), bits(rebuilt.correlation()[k]))
                    << "step " << step << " lag " << k << " writePos " << h.writePos;
            }
            for (int j = 1; j <= 11; ++j) ASSERT_EQ(bits(carried.coefficients()[j]), bits(rebuilt.coefficients()[j]));
        }
        h.samples[h.writePos] = static_cast<float>(grid(random)) / 128.0f;
        h.writePos = h.writePos == 319 ? 0 : h.writePos + 1;
        ++h.fillCount;
    }
    EXPECT_GT(steady, 600);
}

// Filling phase and steady state both fit the signal as the textbook recursion does.
TEST(FloatMainPredictor, AgreesWithADoubleRecursion) {
    const std::vector<float> x = resonance(2000, 7);
    const float rise[8] = {0.08f, 0.11976909f, 0.23219992f, 0.39785218f,
                               0.5880831f, 0.77f, 0.9121478f, 0.9899479f};
    FloatMainHistory h;
    FloatMainPredictor predictor;
    for (std::size_t t = 0; t < x.size(); ++t) {
        predictor.update(h);
        if (t == 100 || t == 319 || t == 320 || t == 1999) {
            const std::size_t n = std::min<std::size_t>(t, 320);
            std::vector<double> frame(320, 0.0);
            for (std::size_t j = 0; j < n; ++j) frame[320 - n + j] = x[t - n + j];
            for (int j = 0; j < 8; ++j) frame[320 - n + j] *= rise[j];
            for (int j = 0; j < 8; ++j) frame[312 + j] *= rise[7 - j];
            const std::vector<double> a = referencePredictor(frame, 11);
            for (int j = 1; j <= 11; ++j) EXPECT_NEAR(predictor.coefficients()[j], a[j], 2e-3) << "t " << t << " a" << j;
        }
        h.samples[h.writePos] = x[t];
        h.writePos = h.writePos == 319 ? 0 : h.writePos + 1;
        ++h.fillCount;
    }
}

TEST(FloatThirdPredictor, AgreesWithADoubleRecursion) {
    const std::vector<float> x = resonance(200, 3);
    const double taper[4] = {0.08, 0.25319469, 0.642359614, 0.95444566};
    FloatThirdHistory h;
    h.writePos = h.fillCount = 4;
    FloatThirdPredictor predictor;
    predictor.update(h);
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(predictor.coefficients()[j], 0.0f);
    for (std::size_t t = 0; t < x.size(); ++t) {
        h.samples[h.writePos] = x[t];
        h.writePos = (h.writePos + 1) % 32;
        ++h.fillCount;
        predictor.update(h);
        if (t == 20 || t == 27 || t == 150) {
            const std::size_t m = std::min<std::size_t>(h.fillCount, 32);
            std::vector<double> frame(32, 0.0);
            for (std::size_t j = 0; j < m; ++j) {
                const std::size_t age = m - j;  // samples back from the newest + 1
                frame[32 - m + j] = age <= t + 1 ? x[t + 1 - age] : 0.0;
            }
            for (int j = 0; j < 4; ++j) frame[32 - m + j] *= taper[j];
            for (int j = 0; j < 4; ++j) frame[31 - j] *= taper[j];
            const std::vector<double> a = referencePredictor(frame, 3);
            for (int j = 1; j <= 3; ++j) EXPECT_NEAR(predictor.coefficients()[j], a[j], 1e-4) << "t " << t << " a" << j;
        }
    }
}
