#include "codec/BackwardLpc16.h"
#include "codec/CodecKernels.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

using kestrava::codec::BackwardLpc16;
using kestrava::codec::ChannelHistory;
using kestrava::codec::codecKernels;
using kestrava::codec::taperBank;

using namespace codec_test;

namespace {

using History = ChannelHistory<double>;

// The coders' prediction from row 15: accumulated from 0 in increasing tap, then clamped so that a
// NaN passes the upper bound and becomes the lower one.
double predict(const BackwardLpc16& lpc, const History& h) {
    double p = 0.0;
    for (std::uint32_t i = 1; i <= 15; ++i) p = p + lpc.coefTable[15][i] * h.samples[(h.writePos - i) % 128];
    const double limit = lpc.predictionLimit;
    p = limit < p ? limit : p;
    return -limit < p ? p : -limit;
}

struct Lpc16 : testing::Test {
    std::unique_ptr<BackwardLpc16> lpc = std::make_unique<BackwardLpc16>();
    std::unique_ptr<History> history = std::make_unique<History>();
    const double* frame() const { return lpc->analysisFrame + BackwardLpc16::guard; }
};

}  // namespace

TEST_F(Lpc16, WorkedExampleFullRing) {
    for (int t = 0; t < 128; ++t) history->samples[t] = static_cast<double>(((37 * t) % 256) - 128) / 128.0;
    history->writePos = 0;
    history->fillCount = 128;
    lpc->update(*history);
    double r[16];
    codecKernels().lpc16Correlate(frame(), r);
    EXPECT_EQ(bits(r[0]), bits(0x1.20c7e4d21dfb6p+5));
    EXPECT_EQ(bits(r[1]), bits(0x1.2b6f050b1bfccp+3));
    EXPECT_EQ(bits(lpc->coefTable[1][1]), bits(0x1.09718eac9ea90p-2));
    EXPECT_EQ(bits(lpc->coefTable[15][1]), bits(0x1.13bf53f1c36c4p-5));
    EXPECT_EQ(bits(lpc->coefTable[15][2]), bits(-0x1.a56874165cf4ep-4));
    EXPECT_EQ(bits(lpc->coefTable[15][15]), bits(-0x1.fd075ac950074p-6));
    EXPECT_EQ(bits(predict(*lpc, *history)), bits(-0x1.39f4cec870f88p-10));
}

TEST_F(Lpc16, WorkedExampleRightAfterAReset) {
    for (int j = 0; j < 16; ++j) history->samples[j] = j / 16.0;
    history->writePos = 16;
    history->fillCount = 16;
    lpc->update(*history);
    double r[16];
    codecKernels().lpc16Correlate(frame(), r);
    EXPECT_EQ(bits(r[0]), bits(0x1.6f63ad9c5ac5cp+0));
    EXPECT_EQ(bits(lpc->coefTable[1][1]), bits(0x1.f12e42d0c0745p-1));
    EXPECT_EQ(bits(lpc->coefTable[15][1]), bits(0x1.b4035ed619aa2p+0));
    EXPECT_EQ(bits(lpc->coefTable[15][15]), bits(-0x1.1b38f18c3f86fp-5));
    EXPECT_EQ(bits(predict(*lpc, *history)), bits(0x1.ee6105851ad7bp-1));
}

// With every sample 1.0 the frame shows the weight each sample gets.
TEST_F(Lpc16, TaperEntryFollowsTheSampleCount) {
    for (double& s : history->samples) s = 1.0;
    const struct {
        std::uint32_t count;
        int entry;
    } cases[] = {{5, 16}, {15, 16}, {16, 8}, {17, 8}, {18, 9}, {31, 15}, {32, 16}, {128, 16}, {4000000000u, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        history->fillCount = c.count;
        history->writePos = c.count % 128;
        lpc->update(*history);
        const std::uint32_t n = std::min<std::uint32_t>(c.count, 128);
        const double* t = taperBank[c.entry];
        for (std::uint32_t j = 0; j < 128 - n; ++j) ASSERT_EQ(frame()[j], 0.0) << j;
        for (std::uint32_t j = 0; j < n; ++j) {
            double expected = 1.0;
            if (n < 16) {
                expected = (1.0 * t[j]) * t[32 - n + j];
            } else if (n < 32) {
                const std::uint32_t e = n / 2;
                if (j < e) expected = t[j];
                if (j >= n - e) expected = t[32 - n + j];
            } else {
                if (j < 16) expected = t[j];
                if (j >= n - 16) expected = t[32 - n + j];
            }
            ASSERT_EQ(bits(frame()[128 - n + j]), bits(expected)) << "sample " << j;
        }
        for (int j = 128; j < 144; ++j) ASSERT_EQ(frame()[j], 0.0) << j;
    }
}

TEST_F(Lpc16, FullRingStartsAtTheWritePositionAndWraps) {
    for (int t = 0; t < 128; ++t) history->samples[t] = 1000.0 + t;
    history->writePos = 3;
    history->fillCount = 300;
    lpc->update(*history);
    // x[0] is slot 3 and x[127] slot 2; the untapered middle holds the slots between in ring order.
    for (int j = 16; j < 112; ++j) ASSERT_EQ(frame()[j], 1000.0 + (3 + j) % 128) << j;
    EXPECT_EQ(bits(frame()[0]), bits(1003.0 * taperBank[16][0]));
    EXPECT_EQ(bits(frame()[127]), bits(1002.0 * taperBank[16][31]));
}

TEST_F(Lpc16, DegenerateHistoriesGiveZeroCoefficients) {
    const struct {
        const char* name;
        std::uint32_t count;
        int nonZeroSlot;  // -1: all zero
    } cases[] = {{"empty ring", 0, -1}, {"silence", 128, -1}, {"one non-zero sample", 128, 77}, {"one of 20", 20, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(lpc->coefTable, 0x7f, sizeof lpc->coefTable);  // earlier contents never leak in
        *history = History{};
        if (c.nonZeroSlot >= 0) history->samples[c.nonZeroSlot] = 0.75;
        history->fillCount = c.count;
        history->writePos = c.count % 128;
        lpc->update(*history);
        for (int m = 1; m <= 15; ++m) {
            for (int i = 1; i <= m; ++i) ASSERT_EQ(lpc->coefTable[m][i], 0.0) << m << "," << i;
        }
        EXPECT_EQ(predict(*lpc, *history), 0.0);
    }
}

TEST_F(Lpc16, NonFiniteSampleMakesCoefficientsNaNAndThePredictionTheNegativeLimit) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int t = 0; t < 128; ++t) history->samples[t] = value(random);
    history->fillCount = 500;
    history->writePos = 40;
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        history->samples[90] = bad;
        lpc->update(*history);
        EXPECT_TRUE(std::isnan(lpc->coefTable[15][1])) << "seed " << seed;
        EXPECT_EQ(predict(*lpc, *history), -1.5);
    }
}

TEST_F(Lpc16, ConstructionLeavesZeroStateAndItsConstants) {
    EXPECT_EQ(lpc->predictionLimit, 1.5);
    EXPECT_EQ(lpc->historyScale, 128);
    EXPECT_EQ(0, std::memcmp(lpc->taperTable, taperBank, sizeof lpc->taperTable));
    for (double v : lpc->analysisFrame) ASSERT_EQ(v, 0.0);
    for (const auto& row : lpc->coefTable) {
        for (double v : row) ASSERT_EQ(v, 0.0);
    }
}
