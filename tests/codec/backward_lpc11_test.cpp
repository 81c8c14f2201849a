#include "codec/BackwardLpc11.h"
#include "codec/CodecKernels.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using kestrava::codec::BackwardLpc11;
using kestrava::codec::ChannelHistory;
using kestrava::codec::codecKernels;

using namespace codec_test;

namespace {

using History = ChannelHistory<float>;

struct Lpc11 : testing::Test {
    std::unique_ptr<BackwardLpc11> lpc = std::make_unique<BackwardLpc11>();
    std::unique_ptr<History> history = std::make_unique<History>();
    const float* frame() const { return lpc->analysisFrame + BackwardLpc11::guard; }

    // The coder's step after a sample: store, advance, count.
    void push(float sample) {
        history->samples[history->writePos] = sample;
        history->writePos = history->writePos == 319 ? 0 : history->writePos + 1;
        ++history->fillCount;
    }
};

}  // namespace

TEST_F(Lpc11, WorkedExampleTwoSamples) {
    history->samples[0] = 0.5f;
    history->samples[1] = -0.25f;
    history->writePos = 2;
    history->fillCount = 2;
    lpc->update(*history);
    EXPECT_EQ(bits(frame()[318]), 0x3B9CFBD6u);
    EXPECT_EQ(bits(frame()[319]), 0xBB1CFBD6u);
    float r[12];
    codecKernels().lpc11Sums(frame(), 0, 320, r);
    EXPECT_EQ(bits(r[0]), 0x37F0A9BBu);
    EXPECT_EQ(bits(r[1]), 0xB74087C9u);
    for (int k = 2; k < 12; ++k) EXPECT_EQ(r[k], 0.0f) << k;
    EXPECT_EQ(bits(lpc->coefTable[1][1]), 0xBECCCCCDu);
    const std::uint32_t row11[4] = {0xBEFFFFFE, 0xBE7FFFF3, 0xBDFFFFC3, 0xBD7FFF02};
    for (int j = 0; j < 4; ++j) EXPECT_EQ(bits(lpc->coefTable[11][j + 1]), row11[j]) << j;
    EXPECT_TRUE(history->sumsStale);
}

TEST_F(Lpc11, EmptyAndSingleSampleHistoriesGiveZeroCoefficients) {
    for (std::uint32_t count : {0u, 1u}) {
        SCOPED_TRACE(count);
        *history = History{};
        history->samples[0] = 0.7f;
        history->fillCount = count;
        history->writePos = count;
        lpc->update(*history);
        if (count == 1) {
            // The sample at w[319] meets rise[0] and then fall[7], both 0.08.
            const float t = lpc->taperTable[8][0];
            EXPECT_EQ(bits(frame()[319]), bits((0.7f * t) * lpc->taperTable[8][31]));
            EXPECT_EQ(t, 0.08f);
        }
        for (int m = 1; m <= 11; ++m) {
            for (int j = 1; j <= m; ++j) ASSERT_EQ(lpc->coefTable[m][j], 0.0f) << m << "," << j;
        }
    }
}

TEST_F(Lpc11, ShortHistoriesAreTaperedByBothEdges) {
    for (float& s : history->samples) s = 1.0f;
    const float* rise = lpc->taperTable[8];
    const float* fall = lpc->taperTable[8] + 24;
    for (std::uint32_t n : {5u, 12u}) {
        SCOPED_TRACE(n);
        history->fillCount = n;
        history->writePos = n;
        lpc->update(*history);
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t position = 320 - n + j;
            float expected = 1.0f;
            if (j < 8) expected = expected * rise[j];
            if (position >= 312) expected = expected * fall[position - 312];
            EXPECT_EQ(bits(frame()[position]), bits(expected)) << position;
        }
        for (int spare = 320; spare < 344; ++spare) ASSERT_EQ(frame()[spare], 0.0f);
    }
}

TEST_F(Lpc11, FullFrameRebuildsTheMiddleSumsOnceAndThenCarriesThem) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int i = 0; i < 319; ++i) push(value(random));
    lpc->update(*history);
    EXPECT_TRUE(history->sumsStale);
    push(value(random));
    lpc->update(*history);  // first full frame: the middle part comes from the frame
    EXPECT_FALSE(history->sumsStale);

    // Steady state for a few ring turns, with the write position wrapping.
    for (int i = 0; i < 1000; ++i) {
        push(value(random));
        lpc->update(*history);
    }
    EXPECT_FALSE(history->sumsStale);
    // The carried middle sums stay within float rounding of a fresh rebuild of the same frame.
    auto fresh = std::make_unique<BackwardLpc11>();
    auto copy = std::make_unique<History>(*history);
    copy->sumsStale = true;
    const double carried0 = history->middleSums[0];
    fresh->update(*copy);
    EXPECT_NEAR(copy->middleSums[0], carried0, 1e-3) << "seed " << seed;
    for (int j = 1; j <= 11; ++j) EXPECT_NEAR(fresh->coefTable[11][j], lpc->coefTable[11][j], 1e-3) << j;
}

TEST_F(Lpc11, CountWrappingWithoutAResetReentersTheFillingPhase) {
    for (int i = 0; i < 320; ++i) push(0.25f * static_cast<float>(i % 7) - 0.75f);
    lpc->update(*history);
    ASSERT_FALSE(history->sumsStale);
    history->fillCount = 0;
    lpc->update(*history);
    EXPECT_TRUE(history->sumsStale);
    for (int m = 1; m <= 11; ++m) EXPECT_EQ(lpc->coefTable[m][1], 0.0f) << m;
}

// Bit patterns from a separate single-precision model of the analysis (not this code): through the
// filling phase, the first full frame and the carried middle sums, with the write position wrapping
// twice.
TEST_F(Lpc11, RunThroughAllPhasesMatchesTheIndependentModel) {
    const struct {
        std::uint32_t fillCount;
        std::uint32_t a1, a2, a11;
    } checks[] = {
        {100, 0xBE6A76D6, 0xBE6983C4, 0x3EE520C2}, {319, 0xBE1FF9F4, 0xBE1E71C1, 0x3F050577},
        {320, 0xBE1DE615, 0xBE1C5AA7, 0x3F063E97}, {321, 0xBE1AEAC4, 0xBE19C71F, 0x3F072583},
        {500, 0xBE1C9B4D, 0xBE1C6F04, 0x3F038CE9}, {700, 0xBE1EF7E5, 0xBE1EE9B2, 0x3F0327AD},
    };
    std::size_t next = 0;
    for (int i = 0; i <= 700; ++i) {
        lpc->update(*history);
        if (next < std::size(checks) && history->fillCount == checks[next].fillCount) {
            SCOPED_TRACE(checks[next].fillCount);
            EXPECT_EQ(bits(lpc->coefTable[11][1]), checks[next].a1);
            EXPECT_EQ(bits(lpc->coefTable[11][2]), checks[next].a2);
            EXPECT_EQ(bits(lpc->coefTable[11][11]), checks[next].a11);
            ++next;
        }
        push(static_cast<float>(((i * 37) % 101 - 50) / 64.0));
    }
    EXPECT_EQ(next, std::size(checks));
}
