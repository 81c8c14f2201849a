#include "params/BlackmanHarris.h"
#include "params/DisplayCanvas.h"
#include "params/PMpx.h"

#include "ParamsFixture.h"
#include "audio/OldSamples.h"
#include "platform/AlignedNew.h"
#include "platform/RealFft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using kestrava::audio::OldSamples;

using namespace kestrava;
using namespace kestrava::params;

namespace {

constexpr float rate = 192000.0f;

// Fills a history with `count` samples of a sine (level 1.0 = full scale) and captures view 3.
void feedSine(OldSamples& history, double frequency, double level, int count) {
    std::vector<float> block(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        block[static_cast<std::size_t>(i)] =
            static_cast<float>(level * std::sin(2.0 * std::numbers::pi * frequency * i / rate));
    }
    history.append(block.data(), count);
    history.captureView(3);
}

// The column with the highest lit row (smallest band top) over levels 1 to 3.
int peakColumn(const DisplayCanvas& canvas, int columns) {
    int best = -1, bestRow = 1 << 30;
    for (int c = 0; c < columns; ++c) {
        for (int k = 1; k < 4; ++k) {
            if (canvas.bandTop[k][c] < bestRow) {
                bestRow = canvas.bandTop[k][c];
                best = c;
            }
        }
    }
    return best;
}

}  // namespace

TEST(BlackmanHarris, WindowTableAndSizes) {
    kestrava::RealFft::prepare();
    auto analyser = std::unique_ptr<BlackmanHarris>(new BlackmanHarris);
    ASSERT_TRUE(analyser && analyser->usable());
    EXPECT_EQ(analyser->order(), 11);
    EXPECT_EQ(analyser->size(), 2048);
    EXPECT_EQ(analyser->tableLength(), 1024);
    EXPECT_NEAR(analyser->window()[0], 0.0003628, 1e-7);
    EXPECT_LT(analyser->window()[1023], 1.0f);
    EXPECT_GT(analyser->window()[1023], 0.9999f);
    for (int i = 1; i < 1024; ++i) ASSERT_GT(analyser->window()[i], analyser->window()[i - 1]) << i;  // rising half

    ASSERT_TRUE(analyser->setSize(13));
    EXPECT_EQ(analyser->size(), 8192);
    EXPECT_EQ(analyser->tableLength(), 4096);
    EXPECT_GT(analyser->window()[4095], 0.99999f);
    EXPECT_EQ(analyser->fftMask, 8191);
    EXPECT_EQ(analyser->analysisLength, 16384);
    EXPECT_EQ(analyser->analysisStep, 0);
    EXPECT_FALSE(analyser->setSize(14));  // beyond the buffers: refused, order kept
    EXPECT_FALSE(analyser->setSize(0));
    EXPECT_EQ(analyser->order(), 13);
    ASSERT_TRUE(analyser->setSize(11));
    EXPECT_NEAR(analyser->window()[0], 0.0003628, 1e-7);
    EXPECT_EQ(analyser->blockLength, 2048);
    EXPECT_EQ(analyser->circularLength, 2050);
}

TEST(BlackmanHarris, PairRoutines) {
    const float pairs[] = {1, 2, 3, 4};
    float a[2] = {}, b[2] = {};
    BlackmanHarris::deinterleave(a, b, pairs, 2);
    EXPECT_EQ((std::vector<float>{a[0], a[1]}), (std::vector<float>{1, 3}));
    EXPECT_EQ((std::vector<float>{b[0], b[1]}), (std::vector<float>{2, 4}));

    const float A[] = {1, 2, 3, 4, 5, 6}, B[] = {7, 8, 9, 10, 11, 12};
    BlackmanHarris::Record records[4] = {};
    records[3] = {-1, -1, -1, -1};
    BlackmanHarris::interleaveBins(A, B, records, 4);
    const float expected[3][4] = {{1, 2, 7, 8}, {3, 4, 9, 10}, {5, 6, 11, 12}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(records[k].a, expected[k][0]);
        EXPECT_EQ(records[k].aIm, expected[k][1]);
        EXPECT_EQ(records[k].b, expected[k][2]);
        EXPECT_EQ(records[k].bIm, expected[k][3]);
    }
    EXPECT_EQ(records[3].a, -1.0f);  // exactly count/2 + 1 records
}

// The two-channel transform: a cosine on bin 64 of channel A, silence on B.
TEST(BlackmanHarris, ApplyTransformsBothChannels) {
    ASSERT_TRUE(kestrava::RealFft::prepare());
    auto analyser = std::unique_ptr<BlackmanHarris>(new BlackmanHarris);
    ASSERT_TRUE(analyser && analyser->usable());
    const int n = analyser->size();
    for (int i = 0; i < n; ++i) {
        analyser->recordBuffer()[i] = {static_cast<float>(std::cos(2.0 * std::numbers::pi * 64 * i / n)), 0, 0, 0};
    }
    ASSERT_TRUE(analyser->apply());
    EXPECT_TRUE(analyser->spectrumReady);
    int peak = 0;
    float peakMag = 0;
    for (int k = 0; k <= n / 2; ++k) {
        const auto& r = analyser->recordBuffer()[k];
        const float mag = std::hypot(r.a, r.aIm);
        if (mag > peakMag) peakMag = mag, peak = k;
        ASSERT_EQ(r.b, 0.0f);
    }
    EXPECT_EQ(peak, 64);
    // The window's mean is its first coefficient: a unit cosine gives N/2 x 0.3635819 at its bin.
    EXPECT_NEAR(peakMag, n / 2 * 0.3635819, n * 0.001);
    analyser->reset();
    EXPECT_FALSE(analyser->spectrumReady);
}

TEST(MpxAnalyser, BinsAndRows) {
    EXPECT_EQ(PMpx::binsBelow(8192, 192000.0f, 1, 62000), 2645);
    EXPECT_EQ(PMpx::binsBelow(8192, 96000.0f, 1, 62000), 4096);  // the band stops at half the rate
    EXPECT_EQ(PMpx::binsBelow(8192, 0.0f, 1, 62000), 4096);      // no rate yet: counts as 1
    EXPECT_FLOAT_EQ(PMpx::rowOfSum(110000000.0f, 100), 0.0f);
    EXPECT_NEAR(PMpx::rowOfSum(11000000.0f, 100), 22.22f, 0.01f);
    EXPECT_NEAR(PMpx::rowOfSum(1100000.0f, 100), 44.44f, 0.01f);
    EXPECT_FLOAT_EQ(PMpx::rowOfSum(0.0f, 100), 98.9f);  // silence: the bottom row
    EXPECT_FLOAT_EQ(PMpx::rowOfSum(1e12f, 100), 0.0f);
}

TEST(MpxAnalyser, SineLandsOnItsColumn) {
    ASSERT_TRUE(kestrava::RealFft::prepare());
    TestOwner owner;
    auto history = kestrava::makeAligned<OldSamples>(false);
    history->storedRate.store(rate);
    PMpx mpx(owner, 4, OUTPUT_FM_MPX, history.get());
    DisplayCanvas canvas;
    feedSine(*history, 19000.0, 0.5, 12000);
    ASSERT_EQ(mpx.drawSpectrum(canvas, 3, 0.0f, 1024, 200), 1024);
    // Bin 19000 / 192000 x 8192 = 810.7 of 2645 spread over columns 0..1023.
    EXPECT_NEAR(peakColumn(canvas, 1024), 810.7 * 1023 / 2645, 2.0);

    // A faster rate leaves fewer bins than columns: one column per bin, plus the last.
    history->storedRate.store(600000.0f);
    EXPECT_EQ(mpx.drawSpectrum(canvas, 3, 0.0f, 1024, 200), 847);
    EXPECT_EQ(mpx.drawSpectrum(canvas, 3, 0.0f, 3000, 200), 847);
    history->storedRate.store(rate);
    EXPECT_EQ(mpx.drawSpectrum(canvas, 3, 0.0f, 1, 200), 1);
    EXPECT_EQ(mpx.drawSpectrum(canvas, 3, 0.0f, 0, 200), 0);
}

// The MPX display takes its canvas size, limited to 1024 x 1023, and never zooms.
TEST(MpxAnalyser, CanvasSizeAndNoZoom) {
    ASSERT_TRUE(kestrava::RealFft::prepare());
    TestOwner owner;
    auto history = kestrava::makeAligned<OldSamples>(false);
    history->storedRate.store(rate);
    PMpx mpx(owner, 4, OUTPUT_FM_MPX, history.get());
    mpx.updateViewFlags();
    EXPECT_FALSE(mpx.isEditable(3));
    feedSine(*history, 1000.0, 0.25, 9000);
    DisplayCanvas canvas;
    WordWriter out;
    const std::vector<std::int32_t> group{head(mpx) | (1 << 16), 3000, 5000, 32800};
    applyWidgetUpdate(mpx, RequestContext{3, &canvas}, group, out);
    EXPECT_FLOAT_EQ(mpx.current(), -8192.0f);
    OneWidget w(out.data());
    auto body = w.body();
    EXPECT_EQ(body.word(), 1024);
    EXPECT_EQ(body.word(), 1023);
    for (int c = 0; c < 1024; ++c) {
        for (int k = 0; k < 6; ++k) body.word();
    }
    EXPECT_TRUE(body.atEnd());

    // Without a canvas the widget sends a width of 0 and no columns.
    WordWriter bare;
    applyWidgetUpdate(mpx, RequestContext{3}, group, bare);
    OneWidget b(bare.data());
    auto bareBody = b.body();
    EXPECT_EQ(bareBody.word(), 0);
    EXPECT_EQ(bareBody.word(), 1023);
    EXPECT_TRUE(bareBody.atEnd());
}
