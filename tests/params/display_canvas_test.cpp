#include "params/DisplayCanvas.h"

#include "params/ReplyReader.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

using kestrava::params::DisplayCanvas;
using kestrava::params::WordWriter;

namespace {

using Words = std::array<std::uint16_t, 6>;

Words bandWords(const DisplayCanvas& canvas, int column, bool limit = true) {
    WordWriter out;
    canvas.writeBandWords(column, limit, out);
    Words w{};
    for (int k = 0; k < 6; ++k) w[static_cast<std::size_t>(k)] = out.data()[static_cast<std::size_t>(k)];
    return w;
}

constexpr Words empty{9999, 9999, 9999, 10000, 10000, 10000};

}  // namespace

// Levels of the four pixels around a sub-pixel point, worked out by hand from the bilinear
// weights: g = 224 / (largest weight)^0.75, level = min(weight x g, 207) >> 6.
TEST(DisplayCanvas, LevelTableEntries) {
    struct Case {
        int r, c;
        std::array<std::uint8_t, 4> levels;
    };
    const Case cases[] = {
        {0, 0, {3, 0, 0, 0}},  // on the pixel
        {0, 4, {2, 2, 0, 0}},  // halfway to the right: 0.5 x 376.7 = 188
        {4, 4, {2, 2, 2, 2}},  // the centre: 0.25 x 633.6 = 158
        {0, 2, {3, 1, 0, 0}},  // 0.75 -> 208 cut to 207; 0.25 x 277.9 = 69
        {0, 6, {1, 3, 0, 0}},
        {1, 0, {3, 0, 0, 0}},  // 0.125 x 247.6 = 30: unlit
        {0, 3, {3, 1, 0, 0}},  // 0.625 x 318.7 = 199; 0.375 x 318.7 = 119
        {4, 0, {2, 0, 2, 0}},
    };
    const DisplayCanvas canvas;
    for (const Case& c : cases) {
        EXPECT_EQ(canvas.levelsAt(c.r, c.c), c.levels) << "row fraction " << c.r << ", column fraction " << c.c;
    }
}

TEST(DisplayCanvas, BandWordsFillGapsFromNeighbouringLevels) {
    DisplayCanvas canvas;
    EXPECT_EQ(bandWords(canvas, 0), empty);
    canvas.bandTop[1][3] = 10;
    canvas.bandBottom[1][3] = 12;
    EXPECT_EQ(bandWords(canvas, 3), (Words{10, 10, 10, 11, 11, 13}));
    // Rows beyond 32767 are limited for the trace, not for the spectrum.
    canvas.bandTop[3][5] = canvas.bandBottom[3][5] = 40000;
    EXPECT_EQ(bandWords(canvas, 5, true), (Words{9999, 9999, 32767, 32768, 32768, 32768}));
    EXPECT_EQ(bandWords(canvas, 5, false)[2], static_cast<std::uint16_t>(40000));
    EXPECT_EQ(bandWords(canvas, -1), empty);
    EXPECT_EQ(bandWords(canvas, DisplayCanvas::columnCapacity), empty);
}

// m = 100 / 7 = 14 rows of margin, u = 72 usable rows, centre 49: full scale sits at the edge
// of the top margin, 49 - 32768 x 71 / 65536.
TEST(DisplayCanvas, TraceRowsOfFullScale) {
    EXPECT_FLOAT_EQ(DisplayCanvas::sampleRow(32768.0f, 100), 13.5f);
    EXPECT_FLOAT_EQ(DisplayCanvas::sampleRow(-32768.0f, 100), 84.5f);
    EXPECT_FLOAT_EQ(DisplayCanvas::sampleRow(0.0f, 100), 49.0f);
    EXPECT_FLOAT_EQ(DisplayCanvas::sampleRow(100000.0f, 100), 0.0f);   // beyond the margin: the edge
    EXPECT_FLOAT_EQ(DisplayCanvas::sampleRow(-100000.0f, 100), 98.0f);
}

// One sample on a two-column canvas: the point lands on column 0 and its words show the rows
// (a row fraction of 0.5 lights two rows at level 2). A sample that is not a number or infinite
// draws at full scale; a finite one hundreds of thousands of rows away at half height.
TEST(DisplayCanvas, SingleSampleTraces) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float sample;
        Words column0;
    };
    const Case cases[] = {
        {32768.0f, {9999, 13, 13, 14, 15, 15}}, {-32768.0f, {9999, 84, 84, 85, 86, 86}},
        {nan, {9999, 13, 13, 14, 15, 15}},      {inf, {9999, 13, 13, 14, 15, 15}},
        {-inf, {9999, 84, 84, 85, 86, 86}},     {1e9f, {9999, 9999, 50, 51, 51, 51}},
    };
    for (const Case& c : cases) {
        DisplayCanvas canvas;
        canvas.drawWave(2, 100, 1, 0, &c.sample);
        EXPECT_EQ(bandWords(canvas, 0), c.column0) << "sample " << c.sample;
        EXPECT_EQ(bandWords(canvas, 1), empty) << "sample " << c.sample;
        EXPECT_EQ(canvas.startColumn, 0);
        EXPECT_EQ(canvas.firstColumn, 2 - 4);
    }
}

// Five zero samples over five columns: points at x = 0, 0.8, 1.6, 2.4, 3.2 on row 49 share out
// their levels (3|0, 1|3, 2|2, 3|1, 3|0) between each column and the next.
TEST(DisplayCanvas, FlatTraceColumnWords) {
    DisplayCanvas canvas;
    const std::vector<float> samples(5, 0.0f);
    canvas.drawWave(5, 100, 5, 0, samples.data());
    EXPECT_EQ(bandWords(canvas, 0), (Words{49, 49, 49, 50, 50, 50}));
    EXPECT_EQ(bandWords(canvas, 1), (Words{9999, 49, 49, 50, 50, 50}));
    EXPECT_EQ(bandWords(canvas, 2), (Words{9999, 49, 49, 50, 50, 50}));
    EXPECT_EQ(bandWords(canvas, 3), (Words{49, 49, 49, 50, 50, 50}));
    EXPECT_EQ(bandWords(canvas, 4), empty);
    EXPECT_EQ(canvas.firstColumn, 1);
    EXPECT_EQ(canvas.startColumn, 0);
}

// A step joins its points: every row between the two levels is lit in the columns it crosses.
TEST(DisplayCanvas, StepIsJoined) {
    DisplayCanvas canvas;
    const float samples[] = {32768.0f, -32768.0f};
    canvas.drawWave(3, 100, 2, 0, samples);
    int lowest = 9999, highest = 0;
    for (int c = 0; c < 3; ++c) {
        const Words w = bandWords(canvas, c);
        for (int k = 0; k < 3; ++k) lowest = std::min<int>(lowest, w[static_cast<std::size_t>(k)]);
        for (int k = 3; k < 6; ++k) {
            if (w[static_cast<std::size_t>(k)] != 10000) highest = std::max<int>(highest, w[static_cast<std::size_t>(k)] - 1);
        }
    }
    EXPECT_EQ(lowest, 13);
    EXPECT_GE(highest, 84);
}

// Skipping old samples redraws from the first new column; the columns are still reset.
TEST(DisplayCanvas, SkipSetsStartColumn) {
    DisplayCanvas canvas;
    const std::vector<float> samples(101, 0.0f);
    canvas.drawWave(11, 100, 101, 50, samples.data());
    // (10 x 50 + 100) / 101 = 5; 11 - (round(50 x 10/101) + 4) = 2.
    EXPECT_EQ(canvas.startColumn, 5);
    EXPECT_EQ(canvas.firstColumn, 2);
    EXPECT_EQ(bandWords(canvas, 1), empty);
    EXPECT_NE(bandWords(canvas, 6), empty);
}

// One column, no columns, no samples: nothing divides by zero and nothing is drawn out of place.
TEST(DisplayCanvas, DegenerateSizes) {
    const std::vector<float> samples(8, 1000.0f);
    DisplayCanvas one;
    one.drawWave(1, 50, 8, 0, samples.data());
    EXPECT_NE(bandWords(one, 0), empty);
    EXPECT_EQ(bandWords(one, 1), empty);

    DisplayCanvas none;
    none.drawWave(0, 50, 8, 0, samples.data());
    for (int c = 0; c < 4; ++c) EXPECT_EQ(bandWords(none, c), empty);

    DisplayCanvas noSamples;
    noSamples.drawWave(5, 50, 1, 0, samples.data());
    noSamples.drawWave(5, 50, 0, 0, samples.data());
    for (int c = 0; c < 6; ++c) EXPECT_EQ(bandWords(noSamples, c), empty);
    EXPECT_EQ(noSamples.startColumn, 0);

    DisplayCanvas flat;
    flat.drawWave(5, 0, 8, 0, samples.data());
    EXPECT_EQ(bandWords(flat, 0), empty);
}

TEST(DisplayCanvas, ScratchGrowsAndIsKept) {
    DisplayCanvas canvas;
    float* a = canvas.scratchFor(1000);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(canvas.scratchCapacity(), 1000 + 32768);
    EXPECT_EQ(canvas.scratchFor(20000), a);  // fits: no new allocation
    ASSERT_NE(canvas.scratchFor(400000), nullptr);
    EXPECT_EQ(canvas.scratchCapacity(), 400000 + 50000);
    EXPECT_EQ(canvas.scratchFor(DisplayCanvas::maxScratch + 1), nullptr);
    EXPECT_EQ(canvas.scratchCapacity(), 400000 + 50000);  // a refused request keeps the buffer
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(canvas.scratchFor(1)) % 64, 0u);
}
