#pragma once

#include "params/BlackmanHarris.h"
#include "params/WordWriter.h"

#include <array>
#include <cstdint>
#include <memory>

namespace kestrava::params {

// The drawing area of the waveform and spectrum displays, one per web server, used by one
// drawing at a time (under the server's mutex). Instead of pixels it keeps, per column and per
// brightness level 0 to 3, the topmost and bottommost row lit at that level; the displays send
// those as six band words per column. Level 0 is unlit: drawn, never sent.
//
// A point at a sub-pixel position is spread over the four pixels around it by an 8 x 8 table of
// levels (bilinear weights, brightened), so a thin trace looks smooth in the browser.
class DisplayCanvas {
public:
    static constexpr int columnCapacity = 4096;
    static constexpr std::int32_t noTop = 9999;
    static constexpr std::int32_t noBottom = 0;
    static constexpr std::int32_t maxScratch = 7680000;  // floats: 10 s at 768 kHz
    static constexpr std::int32_t minScratchMargin = 32768;

    // Builds the level table and resets every column; makes the analyser (missing when memory
    // is short: the spectrum then draws nothing).
    DisplayCanvas();
    ~DisplayCanvas();
    DisplayCanvas(const DisplayCanvas&) = delete;
    DisplayCanvas& operator=(const DisplayCanvas&) = delete;

    // Levels 0..3 of the pixels (column, row), (column+1, row), (column, row+1),
    // (column+1, row+1) for row fraction r/8 and column fraction c/8.
    const std::array<std::uint8_t, 4>& levelsAt(int r, int c) const { return levelTable[(r & 7) * 8 + (c & 7)]; }

    // Empties columns [from, to) of levels 1 to 3 (and the markers when `markers`).
    void clearColumns(int from, int to, bool markers);
    // Spreads the point (px, py), px >= 0, over its four pixels. Points outside the columns or
    // rows the arrays hold are dropped.
    void plot(float px, float py);
    // The same for a point taken apart: column, column eighth 0..7, row, row eighth 0..7.
    void plotCell(int column, int columnEighth, std::int32_t row, int rowEighth);

    // Draws samples[skip..n-1] (full scale 32768) as a trace on a w x h canvas: joins successive
    // points, sets the first and start columns. Draws nothing for n <= 0 or w <= 0 or h <= 0.
    // Long spans (many samples per column) take drawWaveByCell, the others drawWaveStepwise;
    // both draw the same picture.
    void drawWave(int w, int h, std::int32_t n, std::int32_t skip, const float* samples);
    // Plots every point of the trace: each sample and the unit steps that join it to the last.
    void drawWaveStepwise(int w, int h, std::int32_t n, std::int32_t skip, const float* samples);
    // The same picture in time proportional to the samples rather than to the points: all points
    // that share a column eighth and a row eighth light the same four pixels at the same levels,
    // so only the topmost and bottommost of them are plotted. The joining steps are followed in
    // closed form, with the float rounding of the step-by-step walk. For at most one column per
    // sample (n >= w - 1); wider canvases draw stepwise.
    void drawWaveByCell(int w, int h, std::int32_t n, std::int32_t skip, const float* samples);
    // The row of a sample on an h-row canvas with m = h/7 rows of margin at top and bottom.
    static float sampleRow(float sample, int h);

    // The six band words of a column: T1, T2, T3, B3+1, B2+1, B1+1, gaps filled from the
    // neighbouring levels. `limitRows` limits each row to 0..32767 first (the trace does).
    void writeBandWords(int column, bool limitRows, WordWriter& out) const;

    // A sample buffer of at least `floats` floats, 64-byte aligned, grown (never shrunk) to
    // floats + max(floats/8, 32768) when too small. Null when more than maxScratch floats are
    // asked for or memory is short (reported; tried again next time).
    float* scratchFor(std::int32_t floats);
    std::int32_t scratchCapacity() const noexcept { return scratchSize; }

    BlackmanHarris* analyser() noexcept { return analyser_.get(); }

    std::int32_t firstColumn = 0;
    std::int32_t startColumn = 0;
    std::array<std::array<std::int32_t, columnCapacity>, 4> bandTop;
    std::array<std::array<std::int32_t, columnCapacity>, 4> bandBottom;
    std::array<std::int32_t, columnCapacity> markerBottom;
    std::array<std::int32_t, columnCapacity> markerTop;
    std::int32_t busy = 0;

private:
    void lightPixel(int level, int column, int row);
    // Resets the columns and sets the first and start columns of a trace; false when there is
    // nothing to draw.
    bool beginWave(int& w, int h, std::int32_t n, std::int32_t& skip);

    std::array<std::array<std::uint8_t, 4>, 64> levelTable;
    float* scratch = nullptr;
    std::int32_t scratchSize = 0;
    struct AnalyserDelete {
        void operator()(BlackmanHarris* p) const noexcept { delete p; }
    };
    std::unique_ptr<BlackmanHarris, AnalyserDelete> analyser_;
};

}  // namespace kestrava::params
