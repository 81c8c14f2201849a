#include "params/DisplayCanvas.h"

#include "params/NumberText.h"
#include "platform/AlignedNew.h"

#include <algorithm>
#include <cmath>

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
    const auto& k = levelTable[fy * 8 + fx];
    lightPixel(k[0], c, r);
    lightPixel(k[1], c + 1, r);
    lightPixel(k[2], c, r + 1);
    lightPixel(k[3], c + 1, r + 1);
}

float DisplayCanvas::sampleRow(float sample, int h) {
    // A sample that is not a number, or infinite, is drawn at full scale (a NaN above, with the
    // sign of its infinity otherwise): a fault in the signal shows as a clipped trace.
    if (std::isnan(sample)) sample = 32768.0f;
    if (std::isinf(sample)) sample = sample > 0.0f ? 32768.0f : -32768.0f;
    const int m = h / 7;
    const int u = h - 2 * m;
    const float ys = static_cast<float>(u - 1) / 65536.0f;
    const int yc = m + (u - 1) / 2;
    const float r = static_cast<float>(yc) - sample * ys;
    if (r > -400000.0f && r < 400000.0f) return std::clamp(r, 0.0f, static_cast<float>(std::max(h - 2, 0)));
    return static_cast<float>(h / 2);
}

void DisplayCanvas::drawWave(int w, int h, std::int32_t n, std::int32_t skip, const float* samples) {
    if (w <= 0 || h <= 0) return;
    w = std::min(w, columnCapacity - 4);
    clearColumns(0, w + 4, true);
    if (n <= 0 || samples == nullptr) {  // a span of 0 samples (no rate yet) draws an empty canvas
        firstColumn = startColumn = 0;
        return;
    }
    skip = std::clamp(skip, 0, n);
    const float xs = static_cast<float>(w - 1) / static_cast<float>(n);
    firstColumn = w - (truncToInt32(static_cast<float>(skip) * xs + 0.5f) + 4);
    startColumn = static_cast<std::int32_t>((static_cast<std::int64_t>(w - 1) * skip + n - 1) / n);

    const std::int32_t j = std::max(skip - 1, 0);
    float px = static_cast<float>(j) * xs;
    float py = sampleRow(samples[j], h);
    for (std::int32_t i = skip; i < n; ++i) {
        const float qx = static_cast<float>(i) * xs;
        const float qy = sampleRow(samples[i], h);
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
