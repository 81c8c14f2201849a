#include "params/PMpx.h"

#include "audio/OldSamples.h"
#include "params/DisplayCanvas.h"
#include "params/NumberText.h"
#include "platform/RealFft.h"

#include <algorithm>
#include <cmath>

namespace kestrava::params {

namespace {

constexpr int mpxKind = 19;
constexpr std::int32_t newestMargin = 256;
constexpr float largestMagnitude = 4294967296.0f;
constexpr float levelPerLn = -0.09650988f;  // 0.2222 of the height per factor of 10

}  // namespace

PMpx::PMpx(ParamOwner& owner, std::uint32_t viewMask, ParamId id, OldSamples* history, const ShortKey& shortKey,
           const NamePair& section, const NamePair& key)
    : PWave(owner, viewMask, id, mpxKind, history, nullptr, -8192.0f, true, false, shortKey, section, key) {
    setEditable(false);
}

std::int32_t PMpx::binsBelow(std::int32_t n, float rate, std::int32_t decimation, std::int32_t maxFrequency) {
    const float r = std::max(1.0f, rate / static_cast<float>(std::max(decimation, 1)));
    const double band = std::min(0.5, static_cast<double>(maxFrequency) / static_cast<double>(r));
    return std::min(truncToInt32(static_cast<double>(n) * band), n);
}

float PMpx::rowOfSum(float threeBinSum, int h) {
    const float level = std::min(std::max(0.0f, levelPerLn * std::log(threeBinSum / fullScaleSum + 1e-35f)), 2.0f);
    return std::min(static_cast<float>(h) - 1.1f, level * static_cast<float>(h));
}

bool PMpx::readWireInput(const RequestContext&, const RequestValues& values, WidgetContext& widget) {
    readCanvasSize(values, widget, maxWidth, maxHeight);
    return false;
}

std::int32_t PMpx::drawSpectrum(DisplayCanvas& canvas, int view, float t, int w, int h) {
    w = std::clamp(w, 0, maxWidth);
    canvas.clearColumns(0, w, false);
    OldSamples* samples = history();
    const std::int32_t n = getScaledLevel();
    if (w <= 0 || h <= 0 || samples == nullptr || n <= 0 || !isView(view)) return w;

    // The transform takes 2^order samples, order the nearest to log2(n) the analyser supports;
    // samples missing from a shorter span are zeros.
    const int order = std::clamp(static_cast<int>(std::log(static_cast<double>(n)) / std::log(2.0) + 0.5),
                                 BlackmanHarris::minOrder, BlackmanHarris::maxOrder);
    const std::int32_t size = 1 << order;
    const std::int32_t copied = std::min(n, size);
    BlackmanHarris* analyser = canvas.analyser();
    float* a = canvas.scratchFor(std::max(n, size) + 2);
    if (a == nullptr || analyser == nullptr || !analyser->setSize(order)) return w;
    ++canvas.busy;

    {
        HistoryBuffer* buffer = samples->pin(view);
        const std::int32_t length = buffer != nullptr ? std::min(samples->getSize(), buffer->capacity) : 0;
        if (length > 0) {
            const std::int32_t dec = samples->rateFactor;
            std::int64_t start = static_cast<std::int64_t>(samples->getViewPosition(view)) -
                                 truncToInt64(static_cast<double>(samples->storedRate.load()) * t + 0.5) -
                                 static_cast<std::int64_t>(n) * dec;
            if (t == 0.0f) start -= static_cast<std::int64_t>(dec) * newestMargin;
            start %= length;
            if (start < 0) start += length;
            auto p = static_cast<std::int32_t>(start);
            for (std::int32_t j = 0; j < copied; ++j) {
                a[j] = buffer->data[p].load(std::memory_order_relaxed) * static_cast<float>(dec);
                p = static_cast<std::int32_t>((static_cast<std::int64_t>(p) + dec) % length);
            }
        }
        samples->unpin(view, buffer);
    }
    std::fill(a + copied, a + size + 2, 0.0f);

    const float* window = analyser->window();
    for (std::int32_t j = 0; j < size / 2; ++j) {
        a[j] *= window[j];
        a[size - 1 - j] *= window[j];
    }
    if (!kestrava::RealFft::forward(order, a)) {
        --canvas.busy;
        return w;
    }

    const std::int32_t bins =
        std::min(binsBelow(n, samples->storedRate.load(), samples->rateFactor, maxFrequency_), size / 2);
    std::int32_t last = w - 1;
    if (bins < w - 1) {
        w = bins + 1;
        last = bins;
    }
    const float step = static_cast<float>(last) / static_cast<float>(std::max(bins, 1));
    float m1 = 0.0f, m2 = 0.0f;  // magnitudes of the two bins before
    float px = 0.0f;
    for (std::int32_t k = 0; k < bins; ++k) {
        const float re = a[2 * k], im = a[2 * k + 1];
        float mag = 0.5f * std::sqrt(re * re + im * im);
        if (!(mag >= 0.0f) || mag > largestMagnitude) mag = 0.0f;
        canvas.plot(px, rowOfSum(m2 + m1 + mag, h));
        px += step;
        m2 = m1;
        m1 = mag;
    }
    --canvas.busy;
    return w;
}

void PMpx::writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) {
    const int view = widget.effectiveView;
    DisplayCanvas* canvas = request.canvas;
    int w = canvas != nullptr ? std::clamp(widget.slot[0], 0, maxWidth) : 0;
    const int h = std::clamp(widget.slot[1], 0, maxHeight);
    const bool draw = w > 0 && drawable(request.clientView) && isView(view);
    if (draw) {
        valueChanged.take(view);
        w = drawSpectrum(*canvas, view, owner().displayTimeOffset(request.clientView), w, h);
    }
    out.word(static_cast<std::uint32_t>(w));
    out.word(static_cast<std::uint32_t>(h));
    if (!draw) return;
    for (int c = 0; c < w; ++c) canvas->writeBandWords(c, false, out);
}

}  // namespace kestrava::params
