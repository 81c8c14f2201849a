#include "params/DisplayCanvas.h"

#include "params/NumberText.h"
#include "platform/AlignedNew.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace kestrava::params {

DisplayCanvas::DisplayCanvas() : analyser_(new BlackmanHarris) {
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            const float fy = static_cast<float>(r) * 0.125f;
            const float fx = static_cast<float>(c) * 0.125f;
            const float weights[4] = {(1.0f - fy) * (1.0f - fx), (1.0f - fy) * fx, fy * (1.0f - fx), fy * fx};
            const float largest = *std::max_element(std::begin(weights), std::end(weights));
            const float gain = 224.0f / std::pow(largest, 0.75f);
            for (int k = 0; k < 4; ++k) {
                const int v = std::min(static_cast<int>(weights[k] * gain), 207);
                levelTable[r * 8 + c][k] = static_cast<std::uint8_t>(v >> 6);
            }
        }
    }
    for (auto& top : bandTop) top.fill(noTop);
    for (auto& bottom : bandBottom) bottom.fill(noBottom);
    markerBottom.fill(noTop);
    markerTop.fill(noBottom);
    if (analyser_ && !analyser_->usable()) analyser_.reset();
}

DisplayCanvas::~DisplayCanvas() { kestrava::alignedFree(scratch); }

void DisplayCanvas::clearColumns(int from, int to, bool markers) {
    from = std::clamp(from, 0, columnCapacity);
    to = std::clamp(to, from, columnCapacity);
    for (int k = 1; k < 4; ++k) {
        std::fill(bandTop[k].begin() + from, bandTop[k].begin() + to, noTop);
        std::fill(bandBottom[k].begin() + from, bandBottom[k].begin() + to, noBottom);
    }
    if (markers) {
        std::fill(markerBottom.begin() + from, markerBottom.begin() + to, noTop);
        std::fill(markerTop.begin() + from, markerTop.begin() + to, noBottom);
    }
}

void DisplayCanvas::lightPixel(int level, int column, int row) {
    if (column < 0 || column >= columnCapacity) return;
    bandTop[level][column] = std::min(bandTop[level][column], row);
    bandBottom[level][column] = std::max(bandBottom[level][column], row);
}

void DisplayCanvas::plot(float px, float py) {
    if (!(px >= 0.0f) || !(px < static_cast<float>(columnCapacity)) || !std::isfinite(py)) return;
    const int c = static_cast<int>(px);
    const std::int32_t r = truncToInt32(py);
    const int fx = static_cast<int>((px - static_cast<float>(c)) * 8.0f) & 7;
    const int fy = truncToInt32((py - static_cast<float>(r)) * 8.0f) & 7;
    plotCell(c, fx, r, fy);
}

void DisplayCanvas::plotCell(int column, int columnEighth, std::int32_t row, int rowEighth) {
    const auto& k = levelTable[(rowEighth & 7) * 8 + (columnEighth & 7)];
    lightPixel(k[0], column, row);
    lightPixel(k[1], column + 1, row);
    lightPixel(k[2], column, row + 1);
    lightPixel(k[3], column + 1, row + 1);
}

namespace {

// The row of a sample on an h-row canvas, with the canvas's constants worked out once.
class RowScale {
public:
    explicit RowScale(int h)
        : m(h / 7), u(h - 2 * m), ys(static_cast<float>(u - 1) / 65536.0f), yc(static_cast<float>(m + (u - 1) / 2)),
          lowest(static_cast<float>(std::max(h - 2, 0))), middle(static_cast<float>(h / 2)) {}

    float operator()(float sample) const {
        // A sample that is not a number, or infinite, is drawn at full scale (a NaN above, with
        // the sign of its infinity otherwise): a fault in the signal shows as a clipped trace.
        if (!(std::fabs(sample) <= std::numeric_limits<float>::max())) {
            if (std::isnan(sample)) sample = 32768.0f;
            if (std::isinf(sample)) sample = sample > 0.0f ? 32768.0f : -32768.0f;
        }
        const float r = yc - sample * ys;
        if (r > -400000.0f && r < 400000.0f) return std::clamp(r, 0.0f, lowest);
        return middle;
    }

private:
    int m;
    int u;
    float ys;
    float yc;
    float lowest;
    float middle;
};

}  // namespace

float DisplayCanvas::sampleRow(float sample, int h) { return RowScale(h)(sample); }

bool DisplayCanvas::beginWave(int& w, int h, std::int32_t n, std::int32_t& skip) {
    if (w <= 0 || h <= 0) return false;
    w = std::min(w, columnCapacity - 4);
    clearColumns(0, w + 4, true);
    if (n <= 0) {  // a span of 0 samples (no rate yet) draws an empty canvas
        firstColumn = startColumn = 0;
        return false;
    }
    skip = std::clamp(skip, 0, n);
    const float xs = static_cast<float>(w - 1) / static_cast<float>(n);
    firstColumn = w - (truncToInt32(static_cast<float>(skip) * xs + 0.5f) + 4);
    startColumn = static_cast<std::int32_t>((static_cast<std::int64_t>(w - 1) * skip + n - 1) / n);
    return true;
}

void DisplayCanvas::drawWave(int w, int h, std::int32_t n, std::int32_t skip, const float* samples) {
    // At two samples per column and more the cells pay off.
    if (w > 0 && n / 2 >= w)
        drawWaveByCell(w, h, n, skip, samples);
    else
        drawWaveStepwise(w, h, n, skip, samples);
}

void DisplayCanvas::drawWaveStepwise(int w, int h, std::int32_t n, std::int32_t skip, const float* samples) {
    if (samples == nullptr) n = 0;
    if (!beginWave(w, h, n, skip)) return;
    const float xs = static_cast<float>(w - 1) / static_cast<float>(n);
    const RowScale rowOf(h);
    const std::int32_t j = std::max(skip - 1, 0);
    float px = static_cast<float>(j) * xs;
    float py = rowOf(samples[j]);
    for (std::int32_t i = skip; i < n; ++i) {
        const float qx = static_cast<float>(i) * xs;
        const float qy = rowOf(samples[i]);
        const float dy = qy - py;
        const float steps = std::max(xs, std::fabs(dy));
        if (i > 0 && steps > 1.0f) {
            const int count = static_cast<int>(steps);  // at most the canvas height
            const float sx = xs / steps;
            const float sy = dy / steps;
            for (int s = 0; s < count; ++s) {
                px += sx;
                py += sy;
                plot(px, py);
            }
        }
        plot(qx, qy);
        px = qx;
        py = qy;
    }
}

namespace {

// floor(8 x) of a coordinate x >= 0: the column (or row) times 8 plus its eighth, as plot()
// takes a point apart (x - trunc(x) and the scaling by 8 are exact in float).
inline std::int32_t eighths(float x) { return static_cast<std::int32_t>(static_cast<double>(x) * 8.0); }

// The extremes of the rows plotted in one column eighth, per row eighth. Every point of a
// column eighth and row eighth lights the same four pixels relative to its row at the same
// levels, so the topmost and bottommost of them stand for all: plotting the two gives the same
// band tops and bottoms as plotting every one. The trace moves right, so one column eighth is
// collected at a time and plotted when the trace leaves it.
class CellExtremes {
public:
    explicit CellExtremes(DisplayCanvas& canvas) : canvas(canvas) { reset(); }
    ~CellExtremes() { flush(); }
    CellExtremes(const CellExtremes&) = delete;
    CellExtremes& operator=(const CellExtremes&) = delete;

    // Rows lowest to highest (lowest <= highest) of one row eighth in a column eighth.
    void addRows(std::int32_t columnEighths, int rowEighth, std::int32_t lowest, std::int32_t highest) {
        if (columnEighths != cell) enter(columnEighths);
        const auto k = static_cast<std::size_t>(rowEighth);
        top[k] = std::min(top[k], lowest);
        bottom[k] = std::max(bottom[k], highest);
    }
    // A point of the trace at row y >= 0.
    void addPoint(std::int32_t columnEighths, float y) {
        const auto r = static_cast<std::int32_t>(y);
        addRows(columnEighths, rowEighthOf(y, r), r, r);
    }
    static int rowEighthOf(float y, std::int32_t row) {
        return static_cast<int>((y - static_cast<float>(row)) * 8.0f) & 7;
    }
    void flush() {
        if (cell >= 0) {
            for (int fy = 0; fy < 8; ++fy) {
                const auto k = static_cast<std::size_t>(fy);
                if (top[k] > bottom[k]) continue;
                canvas.plotCell(cell / 8, cell % 8, top[k], fy);
                if (bottom[k] != top[k]) canvas.plotCell(cell / 8, cell % 8, bottom[k], fy);
            }
        }
        reset();
    }

private:
    void enter(std::int32_t columnEighths) {
        flush();
        cell = columnEighths;
    }
    void reset() {
        cell = -1;
        top.fill(std::numeric_limits<std::int32_t>::max());
        bottom.fill(std::numeric_limits<std::int32_t>::min());
    }

    DisplayCanvas& canvas;
    std::int32_t cell;
    std::array<std::int32_t, 8> top;
    std::array<std::int32_t, 8> bottom;
};

// The smallest power of two above row >= 1: below it, y + k stays exact for a float y in row.
inline std::int32_t powerAbove(std::int32_t row) {
    return static_cast<std::int32_t>(std::bit_floor(static_cast<std::uint32_t>(row))) * 2;
}

// Steps up by one row from y (>= 0), count of them, all in one column eighth: between powers of
// two the rows run on by one in y's row eighth; the step that crosses one rounds as the float
// sum does.
void addRisingSteps(CellExtremes& cells, std::int32_t cell, float y, std::int32_t count) {
    std::int32_t k = 0;
    while (k < count) {
        if (y >= 1.0f) {
            const auto r = static_cast<std::int32_t>(y);
            const std::int32_t m = std::min(count - k, powerAbove(r) - r - 1);
            if (m > 0) {
                cells.addRows(cell, CellExtremes::rowEighthOf(y, r), r + 1, r + m);
                k += m;
                y += static_cast<float>(m);  // exact
            }
            if (k == count) break;
        }
        y += 1.0f;
        ++k;
        cells.addPoint(cell, y);
    }
}

// The spacing of floats around x > 0 (normal numbers).
inline double floatSpacing(float x) { return std::ldexp(1.0, std::ilogb(x) - 23); }

// The steps that join (px, py) to the next sample when they may leave the column eighth of px
// or cross a power of two upwards (where adding 1 to a float rounds). Replays the step-by-step
// walk exactly: px advances by a constant increment while it stays below the next power of two
// (the rounding of px + sx is then the same at every step), py by exactly 1 between powers of
// two. Anything else (a tie in the rounding of px, a power of two crossed by px, px = 0) is
// walked step by step.
void joinExactly(CellExtremes& cells, float px, float py, float xs, float dy) {
    const float steps = std::fabs(dy);  // at least xs: xs <= 1 < |dy|
    const int count = static_cast<int>(steps);
    const float sx = xs / steps;
    const float sy = dy / steps;  // exactly +1 or -1

    const float next = px + sx;
    float increment = 0.0f;
    bool closedForm = next == px;
    if (!closedForm && px > 0.0f) {
        increment = next - px;
        const double top = std::ldexp(1.0, std::ilogb(px) + 1);
        const double units = static_cast<double>(sx) / floatSpacing(px);
        closedForm = static_cast<double>(next) - static_cast<double>(px) == static_cast<double>(increment) &&
                     static_cast<double>(px) + static_cast<double>(count) * static_cast<double>(increment) < top &&
                     units - std::floor(units) != 0.5;
    }
    if (!closedForm) {
        for (int s = 0; s < count; ++s) {
            px += sx;
            py += sy;
            cells.addPoint(eighths(px), py);
        }
        return;
    }
    // The column eighth after k steps; the value is a float, so the sum in double is exact.
    auto cellAt = [&](int k) {
        return eighths(static_cast<float>(static_cast<double>(px) + k * static_cast<double>(increment)));
    };
    // Steps from..to at rows row(from)..row(to), all of one row eighth, split where the column
    // eighth changes.
    auto addSteps = [&](int from, int to, std::int32_t rowFrom, int direction, int rowEighth) {
        while (from <= to) {
            const std::int32_t cell = cellAt(from);
            int last = to;
            if (cellAt(to) != cell) {
                int lo = from, hi = to;  // cellAt(lo) == cell, cellAt(hi) != cell
                while (hi - lo > 1) {
                    const int mid = lo + (hi - lo) / 2;
                    (cellAt(mid) == cell ? lo : hi) = mid;
                }
                last = lo;
            }
            const std::int32_t rowTo = rowFrom + direction * (last - from);
            cells.addRows(cell, rowEighth, std::min(rowFrom, rowTo), std::max(rowFrom, rowTo));
            rowFrom += direction * (last - from + 1);
            from = last + 1;
        }
    };
    auto rowEighthOf = [](float y, std::int32_t row) { return CellExtremes::rowEighthOf(y, row); };

    if (sy < 0.0f) {
        // py - k is exact for every step (it stays at or above the next sample's row, >= 0).
        const std::int32_t r = truncToInt32(py);
        addSteps(1, count, r - 1, -1, rowEighthOf(py, r));
        return;
    }
    int k = 0;
    float y = py;
    while (k < count) {
        if (y >= 1.0f) {
            const auto r = static_cast<std::int32_t>(y);
            const int m = std::min(count - k, powerAbove(r) - r - 1);
            if (m > 0) {
                addSteps(k + 1, k + m, r + 1, 1, rowEighthOf(y, r));
                k += m;
                y += static_cast<float>(m);  // exact below the power of two
            }
            if (k == count) break;
        }
        y += 1.0f;  // rounds where it crosses a power of two
        ++k;
        const auto r = static_cast<std::int32_t>(y);
        addSteps(k, k, r, 1, rowEighthOf(y, r));
    }
}

}  // namespace

void DisplayCanvas::drawWaveByCell(int w, int h, std::int32_t n, std::int32_t skip, const float* samples) {
    if (samples == nullptr) n = 0;
    if (n > 0 && w > 0 && n < std::min(w, columnCapacity - 4) - 1) {
        drawWaveStepwise(w, h, n, skip, samples);
        return;
    }
    if (!beginWave(w, h, n, skip)) return;
    const float xs = static_cast<float>(w - 1) / static_cast<float>(n);  // at most 1
    const RowScale rowOf(h);
    // How far the steps of one join can carry px: each step adds at most 3 sx, and the steps
    // add up to at most xs.
    const double reach = 3.001 * static_cast<double>(xs);
    CellExtremes cells(*this);
    const std::int32_t j = std::max(skip - 1, 0);
    // The point the next join starts from (rows are finite and >= 0, so casts truncate as the
    // plot does); it is collected together with that join, except the start point before
    // `skip`, which is not drawn.
    float px = static_cast<float>(j) * xs;
    float py = rowOf(samples[j]);
    auto pr = static_cast<std::int32_t>(py);
    int pfy = CellExtremes::rowEighthOf(py, pr);
    std::int32_t pCell = eighths(px);
    double pLimit = static_cast<double>(pCell + 1) * 0.125 - reach;
    bool pDrawn = false;
    for (std::int32_t i = skip; i < n; ++i) {
        const float qx = static_cast<float>(i) * xs;
        const float qy = rowOf(samples[i]);
        const float dy = qy - py;
        const float steps = std::fabs(dy);
        // Joined by steps when more than a row apart (xs <= 1): signed step count, 0 for none.
        const std::int32_t count = steps > 1.0f && i > 0 ? static_cast<std::int32_t>(steps) : 0;
        const std::int32_t signedCount = dy < 0.0f ? -count : count;
        // Quick when every step stays in px's column eighth: py - k is exact for every step
        // downwards, and so is py + k upwards unless a power of two is crossed (where the float
        // sum rounds). The rows then run on by one in py's row eighth, from py's own row.
        if (pDrawn && static_cast<double>(px) < pLimit && (signedCount <= 0 || (pr ^ (pr + signedCount)) < pr)) {
            cells.addRows(pCell, pfy, pr + std::min(signedCount, 0), pr + std::max(signedCount, 0));
        } else {
            if (pDrawn) cells.addRows(pCell, pfy, pr, pr);
            if (count > 0 && static_cast<double>(px) < pLimit) {
                if (dy < 0.0f)
                    cells.addRows(pCell, pfy, pr - count, pr - 1);
                else
                    addRisingSteps(cells, pCell, py, count);
            } else if (count > 0) {
                joinExactly(cells, px, py, xs, dy);
            }
        }
        px = qx;
        py = qy;
        pr = static_cast<std::int32_t>(qy);
        pfy = CellExtremes::rowEighthOf(qy, pr);
        const std::int32_t qCell = eighths(qx);
        if (qCell != pCell) {
            pCell = qCell;
            pLimit = static_cast<double>(pCell + 1) * 0.125 - reach;
        }
        pDrawn = true;
    }
    if (pDrawn) cells.addRows(pCell, pfy, pr, pr);
}

void DisplayCanvas::writeBandWords(int column, bool limitRows, WordWriter& out) const {
    if (column < 0 || column >= columnCapacity) {
        for (int k = 0; k < 3; ++k) out.word(noTop);
        for (int k = 0; k < 3; ++k) out.word(noTop + 1);
        return;
    }
    auto row = [&](std::int32_t v) { return limitRows ? std::clamp(v, 0, 32767) : v; };
    std::int32_t t1 = row(bandTop[1][column]), t2 = row(bandTop[2][column]), t3 = row(bandTop[3][column]);
    std::int32_t b1 = row(bandBottom[1][column]), b2 = row(bandBottom[2][column]), b3 = row(bandBottom[3][column]);
    if (t2 == noTop) t2 = t1;
    if (t3 == noTop) t3 = t2;
    if (b3 == 0) b3 = t3;
    if (b2 == 0) b2 = b3;
    if (b1 == 0) b1 = b2;
    if (b2 == 0) b2 = b1;
    if (b3 == 0) b3 = b2;
    if (t3 == 0) t3 = b3;
    if (t2 == 0) t2 = t3;
    if (t1 == 0) t1 = t2;
    out.word(static_cast<std::uint32_t>(t1));
    out.word(static_cast<std::uint32_t>(t2));
    out.word(static_cast<std::uint32_t>(t3));
    out.word(static_cast<std::uint32_t>(b3 + 1));
    out.word(static_cast<std::uint32_t>(b2 + 1));
    out.word(static_cast<std::uint32_t>(b1 + 1));
}

float* DisplayCanvas::scratchFor(std::int32_t floats) {
    if (floats < 0 || floats > maxScratch) return nullptr;
    if (floats > scratchSize || scratch == nullptr) {
        kestrava::alignedFree(scratch);
        scratch = nullptr;
        scratchSize = 0;
        const std::int32_t size = std::min(floats + std::max(floats / 8, minScratchMargin), maxScratch);
        scratch = static_cast<float*>(kestrava::alignedAlloc(static_cast<std::size_t>(size) * sizeof(float)));
        if (scratch == nullptr) return nullptr;
        std::fill(scratch, scratch + size, 0.0f);
        scratchSize = size;
    }
    return scratch;
}

}  // namespace kestrava::params
