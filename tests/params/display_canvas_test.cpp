#include "params/DisplayCanvas.h"

#include "params/ReplyReader.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
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

namespace {

enum class Signal { sine, slowSine, noise, extremes, faults, ramp };

std::vector<float> signalOf(Signal kind, std::int32_t n) {
    std::vector<float> s(static_cast<std::size_t>(n));
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> any(-40000.0f, 40000.0f);
    for (std::int32_t i = 0; i < n; ++i) {
        float& v = s[static_cast<std::size_t>(i)];
        switch (kind) {
            case Signal::sine: v = 16384.0f * std::sin(0.61f * static_cast<float>(i)); break;
            case Signal::slowSine: v = 32000.0f * std::sin(0.0007f * static_cast<float>(i)); break;
            case Signal::noise: v = any(random); break;
            case Signal::extremes: v = (i / 3) % 2 == 0 ? 32768.0f : -32768.0f; break;
            case Signal::faults: {
                const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                          -std::numeric_limits<float>::infinity(), 1e30f, 0.0f};
                v = i % 7 == 0 ? specials[(i / 7) % 5] : any(random);
                break;
            }
            case Signal::ramp: v = -32768.0f + 65536.0f * static_cast<float>(i) / static_cast<float>(n); break;
        }
    }
    return s;
}

const char* nameOf(Signal kind) {
    switch (kind) {
        case Signal::sine: return "sine";
        case Signal::slowSine: return "slow sine";
        case Signal::noise: return "noise";
        case Signal::extremes: return "extremes";
        case Signal::faults: return "faults";
        case Signal::ramp: return "ramp";
    }
    return "?";
}

// Draws the samples both ways and compares every band of every level; true when the picture
// lights a column.
bool expectSameDrawing(int w, int h, std::int32_t n, std::int32_t skip, const std::vector<float>& samples) {
    auto every = std::make_unique<DisplayCanvas>();
    auto byCell = std::make_unique<DisplayCanvas>();
    every->drawWaveStepwise(w, h, n, skip, samples.data());
    byCell->drawWaveByCell(w, h, n, skip, samples.data());
    EXPECT_EQ(byCell->firstColumn, every->firstColumn);
    EXPECT_EQ(byCell->startColumn, every->startColumn);
    for (int k = 0; k < 4; ++k) {
        for (int column = 0; column < w + 4; ++column) {
            const auto col = static_cast<std::size_t>(column);
            EXPECT_EQ(byCell->bandTop[k][col], every->bandTop[k][col]) << "level " << k << ", column " << column;
            EXPECT_EQ(byCell->bandBottom[k][col], every->bandBottom[k][col]) << "level " << k << ", column " << column;
            if (testing::Test::HasFailure()) return false;
        }
    }
    bool lit = false;
    for (int column = 0; column < w; ++column) {
        EXPECT_EQ(bandWords(*byCell, column), bandWords(*every, column)) << "column " << column;
        lit = lit || bandWords(*every, column) != empty;
    }
    return lit;
}

}  // namespace

// The drawing by cells (many samples per column) against the drawing of every point: the same
// band tops and bottoms at every level, unlit level 0 included, and the same column words.
// Tall canvases cross rows 256, 512 and 1024, where stepping up by one row rounds in float;
// long spans put columns beyond 512 and 1024, where the horizontal steps round away.
TEST(DisplayCanvas, DrawingByCellMatchesDrawingEveryPoint) {
    struct Case {
        int w, h;
        std::int32_t n, skip;
        Signal signal;
    };
    const Case cases[] = {
        {2048, 400, 2047, 0, Signal::sine},     // one column per sample
        {2048, 400, 2048, 0, Signal::noise},
        {2048, 400, 200000, 0, Signal::sine},   // about 100 samples per column
        {2048, 2047, 8000, 0, Signal::noise},   // tall: long joins across rows 512 and 1024
        {2048, 2047, 30000, 0, Signal::extremes},
        {2048, 2047, 60000, 0, Signal::slowSine},
        {1500, 600, 90000, 45000, Signal::faults},
        {1024, 300, 50000, 1, Signal::ramp},
        {300, 2047, 20000, 19999, Signal::noise},
        {300, 1000, 20000, 20000, Signal::noise},
        {7, 100, 20000, 0, Signal::sine},
        {1, 50, 50, 0, Signal::noise},
        {2, 9, 5000, 3, Signal::extremes},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + ", " + std::to_string(c.n) + " samples from " +
                     std::to_string(c.skip) + ", " + nameOf(c.signal));
        const std::vector<float> samples = signalOf(c.signal, c.n);
        const bool lit = expectSameDrawing(c.w, c.h, c.n, c.skip, samples);
        EXPECT_EQ(lit, c.skip < c.n);
    }
}

// The joins where the float walk rounds, each alone in its column eighth so that no other
// point hides a difference. Stepping up by one row from just below a row eighth across row
// 1024: 1000.875 - 2^-14 becomes 1024.875, one row eighth higher (once in the middle of a column
// eighth, once at its end, where the join may leave it). Steps of exactly half a float spacing
// (a join of 3 rows at xs = 31 / 662 from column 15.45): they round to even, so the third step
// lands on 15.5, in the next column eighth, where equal steps would stop short of it.
TEST(DisplayCanvas, DrawingByCellFollowsTheRoundingOfTheSteps) {
    {
        const int h = 2047;
        const float target = 1000.875f - 1.0f / 16384.0f;
        float below = (1023.0f - target) / (1462.0f / 65536.0f);
        for (int tries = 0; tries < 1000 && DisplayCanvas::sampleRow(below, h) != target; ++tries)
            below = std::nextafter(below, DisplayCanvas::sampleRow(below, h) > target ? 1e9f : -1e9f);
        ASSERT_EQ(DisplayCanvas::sampleRow(below, h), target);
        for (const std::int32_t start : {40, 47}) {  // columns 0.625 and 0.734 of 2
            SCOPED_TRACE(start);
            std::vector<float> samples(64, -32768.0f);
            samples[static_cast<std::size_t>(start)] = below;
            EXPECT_TRUE(expectSameDrawing(2, h, 64, start + 1, samples));
        }
    }
    {
        // 1435 rows: 205 rows of margin, 1/64 row per unit of sample, centre row 717.
        const int h = 1435;
        ASSERT_EQ(DisplayCanvas::sampleRow(-192.0f, h) - DisplayCanvas::sampleRow(0.0f, h), 3.0f);
        std::vector<float> samples(662, -192.0f);
        samples[330] = 0.0f;
        EXPECT_TRUE(expectSameDrawing(32, h, 662, 331, samples));
    }
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
