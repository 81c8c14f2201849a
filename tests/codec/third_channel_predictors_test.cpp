#include "codec/BackwardLpc3.h"
#include "codec/BackwardLpc5.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using kestrava::codec::BackwardLpc3;
using kestrava::codec::BackwardLpc5;
using kestrava::codec::ChannelHistory;
using kestrava::codec::taperBank;

using namespace codec_test;

namespace {

struct Lpc5 : testing::Test {
    std::unique_ptr<BackwardLpc5> lpc = std::make_unique<BackwardLpc5>();
    std::unique_ptr<ChannelHistory<double>> history = std::make_unique<ChannelHistory<double>>();
    const double* frame() const { return lpc->analysisFrame + BackwardLpc5::guard; }
};

struct Lpc3 : testing::Test {
    std::unique_ptr<BackwardLpc3> lpc = std::make_unique<BackwardLpc3>();
    std::unique_ptr<ChannelHistory<float>> history = std::make_unique<ChannelHistory<float>>();
    const float* frame() const { return lpc->analysisFrame + BackwardLpc3::guard; }
};

}  // namespace

TEST_F(Lpc5, SixtyFourEqualValuesGiveTheStatedCoefficients) {
    for (int i = 0; i < 64; ++i) history->samples[i] = 0.25;
    const double expected[5] = {1.805515788365704, -0.41604883410314486, -0.46138506417908837,
                                -0.19194168408673223, 0.2616912176582752};
    for (std::uint32_t count : {64u, 65u, 1000000u}) {  // any count from 64 on reads the same 64 samples
        history->fillCount = count;
        history->writePos = count % 64;
        lpc->update(*history);
        for (int j = 0; j < 5; ++j) EXPECT_EQ(bits(lpc->coefTable[5][j + 1]), bits(expected[j])) << count << " tap " << j + 1;
    }
}

TEST_F(Lpc5, SixSamplesCarryTheSixPointWindow) {
    for (int i = 0; i < 64; ++i) history->samples[i] = 1.0;
    history->fillCount = 6;
    history->writePos = 6;
    lpc->update(*history);
    const double weights[6] = {0.08000000000000002, 0.3978521825875242, 0.9121478174124757,
                               0.9121478174124759,  0.3978521825875243, 0.08000000000000002};
    for (int j = 0; j < 58; ++j) ASSERT_EQ(frame()[j], 0.0) << j;
    for (int j = 0; j < 6; ++j) EXPECT_EQ(bits(frame()[58 + j]), bits(weights[j])) << j;
}

TEST_F(Lpc5, TaperLengthGrowsWithTheCountUpToEleven) {
    for (int i = 0; i < 64; ++i) history->samples[i] = 1.0;
    const struct {
        std::uint32_t count, length;
    } cases[] = {{7, 3}, {8, 4}, {21, 10}, {22, 11}, {40, 11}, {64, 11}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        history->fillCount = c.count;
        history->writePos = c.count % 64;
        lpc->update(*history);
        const std::uint32_t n = std::min<std::uint32_t>(c.count, 64);
        const double* row = taperBank[c.length];
        for (std::uint32_t j = 0; j < n; ++j) {
            double expected = 1.0;
            if (j < c.length) expected = row[j];
            if (j >= n - c.length) expected = row[32 - n + j];
            ASSERT_EQ(bits(frame()[64 - n + j]), bits(expected)) << "sample " << j;
        }
    }
}

TEST_F(Lpc5, DegenerateHistoriesGiveZeroCoefficientsAndStayInTheFrame) {
    // Counts below 6 arise only when fillCount wraps without a reset.
    for (std::uint32_t count : {0u, 1u, 3u, 5u}) {
        SCOPED_TRACE(count);
        *history = ChannelHistory<double>{};
        history->samples[(count + 63) % 64] = count == 0 ? 0.0 : 0.5;
        history->fillCount = count;
        history->writePos = count;
        lpc->update(*history);
        for (int j = 1; j <= 5; ++j) EXPECT_EQ(lpc->coefTable[5][j], 0.0) << j;
        for (int g = 0; g < BackwardLpc5::guard; ++g) {
            ASSERT_EQ(lpc->analysisFrame[g], 0.0);
            ASSERT_EQ(lpc->analysisFrame[BackwardLpc5::guard + 64 + g], 0.0);
        }
    }
}

TEST_F(Lpc3, ZeroOrSingleSampleHistoriesGiveZeroCoefficients) {
    for (std::uint32_t count : {0u, 1u, 32u}) {
        SCOPED_TRACE(count);
        *history = ChannelHistory<float>{};
        if (count > 0) history->samples[(count + 31) % 32] = -0.4f;
        history->fillCount = count;
        history->writePos = count % 32;
        lpc->update(*history);
        for (int m = 1; m <= 3; ++m) {
            for (int j = 1; j <= m; ++j) EXPECT_EQ(lpc->coefTable[m][j], 0.0f) << m << "," << j;
        }
    }
}

TEST_F(Lpc3, EdgesTaperTheOldestAndNewestSlots) {
    for (int i = 0; i < 32; ++i) history->samples[i] = 1.0f;
    const float w[4] = {fromBits(0x3DA3D70Au), fromBits(0x3E81A2BCu), fromBits(0x3F2471AEu), fromBits(0x3F74568Du)};
    for (std::uint32_t m : {5u, 32u}) {
        SCOPED_TRACE(m);
        history->fillCount = m;
        history->writePos = m % 32;
        lpc->update(*history);
        for (std::uint32_t j = 0; j < 32 - m; ++j) ASSERT_EQ(frame()[j], 0.0f);
        for (std::uint32_t slot = 32 - m; slot < 32; ++slot) {
            float expected = 1.0f;
            if (slot - (32 - m) < 4) expected = expected * w[slot - (32 - m)];
            if (slot >= 28) expected = expected * w[31 - slot];
            EXPECT_EQ(bits(frame()[slot]), bits(expected)) << slot;
        }
    }
}

// Bit patterns from a separate single-precision model of the order-3 analysis (not this code): both
// edges on a short history, a partly and a fully used ring, and a wrapped ring.
TEST_F(Lpc3, CoefficientsMatchTheIndependentModel) {
    const struct {
        std::uint32_t fillCount;
        std::uint32_t a1, a2, a3;
    } checks[] = {{5, 0xBF4C0DD6, 0xBF08B36E, 0xBE0B830A},
                  {20, 0xBEF99002, 0xBEB43576, 0x3E6897EE},
                  {32, 0xBEEDC262, 0xBE99C7F8, 0x3E90DCB6},
                  {100, 0xBECDFFBC, 0xBE6FB1FC, 0x3EA6A513}};
    std::size_t next = 0;
    for (int i = 0; i <= 100; ++i) {
        if (next < std::size(checks) && history->fillCount == checks[next].fillCount) {
            SCOPED_TRACE(checks[next].fillCount);
            lpc->update(*history);
            EXPECT_EQ(bits(lpc->coefTable[3][1]), checks[next].a1);
            EXPECT_EQ(bits(lpc->coefTable[3][2]), checks[next].a2);
            EXPECT_EQ(bits(lpc->coefTable[3][3]), checks[next].a3);
            ++next;
        }
        history->samples[history->writePos] = static_cast<float>(((i * 37) % 101 - 50) / 64.0 * 0.5);
        history->writePos = (history->writePos + 1) % 32;
        ++history->fillCount;
    }
    EXPECT_EQ(next, std::size(checks));
}
