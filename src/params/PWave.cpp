#include "params/PWave.h"

#include "audio/OldSamples.h"
#include "params/DisplayCanvas.h"
#include "params/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrava::params {

namespace {

constexpr std::int32_t historyLead = 65536;  // ring room kept beyond every window
constexpr std::int32_t newestMargin = 256;   // samples kept clear of the writer when not delayed
constexpr float zoomStep = 1.0333333f;

std::int32_t wrapInto(std::int64_t position, std::int32_t length) {
    if (length <= 0) return 0;
    std::int64_t p = position % length;
    if (p < 0) p += length;
    return static_cast<std::int32_t>(p);
}

float limitSpan(double v) {
    if (!(v >= PWave::minSpan)) return PWave::minSpan;  // NaN too
    return static_cast<float>(std::min(v, static_cast<double>(PWave::maxSpan)));
}

// Pins the history's current buffer for one view; the copy wraps at the smaller of the history's
// size and the pinned buffer's capacity.
class PinnedRing {
public:
    PinnedRing(OldSamples& h, int view) : history(h), view_(view), buffer(h.pin(view)) {
        if (buffer != nullptr) length = std::min(h.getSize(), buffer->capacity);
    }
    ~PinnedRing() { history.unpin(view_, buffer); }
    PinnedRing(const PinnedRing&) = delete;
    PinnedRing& operator=(const PinnedRing&) = delete;

    bool valid() const { return buffer != nullptr && length > 0; }
    std::int32_t ringLength() const { return length; }
    float at(std::int32_t position) const { return buffer->data[position].load(std::memory_order_relaxed); }

private:
    OldSamples& history;
    int view_;
    HistoryBuffer* buffer;
    std::int32_t length = 0;
};

}  // namespace

PWave::PWave(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, OldSamples* history, PWave* master,
             float initialValue, bool fineMode, bool fixedWindow, const ShortKey& shortKey, const NamePair& section,
             const NamePair& key)
    : ValueParam<float>(owner, viewMask, id, kind, {}, shortKey, section, key), history_(history),
      fineModeAllowed(fineMode), master_(master), fixedSearchWindow(fixedWindow) {
    storeDefaultEverywhere(initialValue);
    lastSpan.fill(-1.0f);
    if (master_ != nullptr && master_->followerCount_ < maxFollowers) {
        master_->followers[static_cast<std::size_t>(master_->followerCount_++)] = this;
    }
}

float PWave::span(int kind) const { return master_ != nullptr ? master_->span(kind) : getValue(kind); }

float PWave::historyRate() const {
    return history_ != nullptr ? std::max(1.0f, history_->storedRate.load()) : 1.0f;
}

std::int32_t PWave::getScaledLevel() const {
    const float v = span();
    if (v < 0.0f) return truncToInt32(-static_cast<double>(v));
    if (history_ == nullptr) return 0;
    return truncToInt32(static_cast<double>(v) * history_->storedRate.load());
}

// ---- zoom

bool PWave::setZoomFactor(float factor) {
    if (kind() == 19) return false;
    const bool changed = master_ != nullptr ? master_->setZoomFactor(factor) : applyZoomFactor(factor);
    if (changed) fullRedraw.store(true);
    return changed;
}

bool PWave::applyZoomFactor(float factor) {
    float a = current() * factor;
    if (!(a < maxSpan)) a = maxSpan;
    if (a > 4.9f && a < 5.1f) a = 6.4f;
    if (kind() != 19 && a <= minSpan) a = minSpan;
    if (!(a >= minSpan && a < 12.5f) || !isInRange(a) || !setValue(a)) return false;
    notifyUserChange();
    return true;
}

std::optional<std::int32_t> PWave::readCanvasSize(const RequestValues& values, WidgetContext& widget, int widthLimit,
                                                  int heightLimit) const {
    const int n = values.count();
    if (n >= 2) {
        const std::int32_t height = std::clamp(*values.at(2), 0, heightLimit);
        widget.slot[1] = height;
        widget.slot[0] = height == 0 ? 0 : std::clamp(*values.at(1), 0, widthLimit);
        if (n < 3) return std::nullopt;
        return values.at(3);
    }
    if (n < 1) return std::nullopt;
    return values.at(1);
}

bool PWave::readWireInput(const RequestContext&, const RequestValues& values, WidgetContext& widget) {
    const auto zoom = readCanvasSize(values, widget, maxWidth, maxHeight);
    if (!zoom || kind() == 19) return false;
    const float factor = std::pow(zoomStep, static_cast<float>(static_cast<std::int64_t>(*zoom) - neutralZoom));
    const bool changed = master_ != nullptr ? master_->setZoomFactor(factor) : applyZoomFactor(factor);
    if (changed) fullRedraw.store(true);
    return changed;
}

// ---- history

bool PWave::reserveHistory(int, float t, std::int32_t n) {
    if (history_ == nullptr) return false;
    const float rate = historyRate();
    const std::int64_t extra = static_cast<float>(n) / rate > 0.1f ? 0 : truncToInt64(static_cast<double>(rate) * t);
    const std::int64_t need = static_cast<std::int64_t>(history_->rateFactor) * historyLead + n + std::max<std::int64_t>(extra, 0);
    history_->requestSize(static_cast<std::int32_t>(std::min<std::int64_t>(need, OldSamples::largestRequest)));
    return need <= history_->getSize();
}

std::int32_t PWave::takeNewSampleCount(int view) {
    if (history_ == nullptr || !isView(view)) return -1;
    const std::int32_t c = history_->triggerAdvance[view];
    history_->triggerAdvance[view] = 0;
    const bool whole = fullRedraw.exchange(false);
    return (c > 0 && !whole) ? c : -1;
}

bool PWave::isFineMode() const {
    if (master_ != nullptr) return master_->isFineMode();
    if (!fineModeAllowed || history_ == nullptr) return false;
    if (static_cast<float>(getScaledLevel()) / historyRate() > 0.1f) return false;
    return current() <= fineSpan;
}

void PWave::countNewSamples(int view, std::int32_t shift, std::int32_t ringLength) {
    OldSamples& h = *history_;
    const std::int32_t writeIndex = h.getWriteIndex();
    const std::int64_t written = static_cast<std::int64_t>(writeIndex - h.readerWriteSnapshot) +
                                 static_cast<std::int64_t>(h.takeWrapCount()) * ringLength;
    h.readerWriteSnapshot = writeIndex;
    if (written > ringLength / 2) {  // overrun: the writer lapped the view, draw everything
        h.triggerPosition[view] = -1;
        h.triggerAdvance[view] = -1;
        return;
    }
    const std::int32_t e = wrapInto(static_cast<std::int64_t>(h.getViewPosition(view)) - shift, ringLength);
    const std::int32_t last = h.triggerPosition[view];
    std::int32_t d = e - last;
    if (d < 0) d += ringLength;
    h.triggerPosition[view] = e;
    if (last < 0) {  // nothing counted since the start or an overrun: the count is unknown
        h.triggerAdvance[view] = -1;
    } else if (h.triggerAdvance[view] >= 0) {
        h.triggerAdvance[view] += d;
    }
}

void PWave::alignToPeak(int view, float t, std::int32_t n) {
    if (history_ == nullptr || !isView(view)) return;
    triggerOffset_[view] = 0.0f;
    OldSamples& h = *history_;
    const float rate = historyRate();
    if (master_ != nullptr) {
        const float offset = master_->triggerOffset(view);
        triggerOffset_[view] = offset;
        const std::int32_t length = h.getSize();
        if (length > 0) countNewSamples(view, truncToInt32(static_cast<double>(offset) * rate), length);
        return;
    }
    if (n <= 0) return;
    PinnedRing ring(h, view);
    if (!ring.valid()) return;
    const std::int32_t length = ring.ringLength();
    std::int32_t shift = 0;
    if (static_cast<float>(n) / rate > 0.1f) {
        h.triggerLevel[view] = 0.0f;
    } else {
        const std::int32_t position = h.getViewPosition(view);
        const std::int32_t oldEnd = wrapInto(h.triggerScanPosition[view], length);
        std::int32_t a = wrapInto(static_cast<std::int64_t>(oldEnd) + n / 4, length);
        const float window = fixedSearchWindow ? 0.1f : t;
        const std::int64_t searched = std::max<std::int64_t>(truncToInt64(static_cast<double>(window) * rate), n);
        const std::int32_t e =
            wrapInto(static_cast<std::int64_t>(position) - searched - static_cast<std::int64_t>(h.rateFactor) * newestMargin, length);
        std::int32_t p0 = oldEnd;
        std::int32_t ahead = e - a;
        if (ahead < 0) ahead += length;
        if (ahead > length / 2) a = p0 = e;  // far behind: start over at the window

        const float c = std::min(0.25f, 0.0234375f * 2400.0f / static_cast<float>(n));
        float s = h.triggerLevel[view];
        std::int32_t peak = p0;
        if (current() < fineSpan) {
            for (std::int32_t p = p0; p != a; p = p + 1 == length ? 0 : p + 1) s = s * (1.0f - c) + ring.at(p) * c;
            float best = 0.0f;
            for (std::int32_t p = a; p != e; p = p + 1 == length ? 0 : p + 1) {
                s = s * (1.0f - c) + ring.at(p) * c;
                if (s >= best) {
                    best = s;
                    peak = p;
                }
            }
        }
        h.triggerScanPosition[view] = e;
        h.triggerLevel[view] = std::isfinite(s) ? s : 0.0f;  // one bad sample must not stop the search for good
        shift = wrapInto(static_cast<std::int64_t>(position) - (n / 2 + static_cast<std::int64_t>(peak)), length);
    }
    countNewSamples(view, shift, length);
    triggerOffset_[view] = static_cast<float>(shift) / rate;
}

void PWave::fetchWindow(int view, float* scratch, std::int32_t n, std::int32_t skip) {
    if (history_ == nullptr || !isView(view) || scratch == nullptr || n <= 0) return;
    OldSamples& h = *history_;
    PinnedRing ring(h, view);
    if (!ring.valid()) return;
    const std::int32_t length = ring.ringLength();
    const std::int32_t position = h.getViewPosition(view);
    std::int32_t d = position - lastReadPosition[view];
    if (d < 0) d += length;
    if (d > 0) lastReadPosition[view] = position;
    const float t = triggerOffset_[view];
    std::int64_t start = static_cast<std::int64_t>(position) - n -
                         truncToInt64(static_cast<double>(h.storedRate.load()) * t + 0.5);
    if (t == 0.0f) start -= static_cast<std::int64_t>(h.rateFactor) * newestMargin;
    const auto factor = static_cast<float>(h.rateFactor);
    std::int32_t p = wrapInto(start + std::max(skip - 1, 0), length);
    for (std::int32_t j = std::max(skip - 1, 0); j < n; ++j) {
        scratch[j] = ring.at(p) * factor;
        if (++p == length) p = 0;
    }
}

// ---- polling and drawing

void PWave::markPolled(int view) {
    valueChanged.mark(view);
    markChanged();
}

float PWave::ringPeak(int view) const {
    constexpr std::int32_t points = 1024;
    if (history_ == nullptr) return 0.0f;
    const float rate = history_->storedRate.load();
    const auto multiple = rate > 0.0f && rate < 1.0e7f ? static_cast<std::int32_t>(rate / 192000.0f + 0.5f) : 0;
    const std::int32_t delay = std::max(0, points * (multiple - 1) + 256);
    std::array<float, points> window;
    if (history_->read(view, delay, window.data(), points) != points) return 0.0f;
    float peak = 0.0f;
    for (const float v : window) peak = std::max(peak, std::fabs(v));
    return peak;
}

void PWave::pollGraph(int view, std::int32_t) {
    if (history_ == nullptr || !isView(view)) return;
    const float v = span();
    if (master_ != nullptr) {
        master_->pollGraph(view, 0);
    } else {
        std::int32_t threshold = 1;
        if (v < fineSpan) threshold = v < 0.0f ? truncToInt32(-static_cast<double>(v)) : getScaledLevel();
        const std::int32_t position = history_->getViewPosition(view);
        std::int32_t d = position - lastReadPosition[view];
        if (d < 0) d += history_->getSize();
        pollReady[view] = d > threshold;
        if (pollReady[view]) lastReadPosition[view] = position;
    }
    if (v != lastSpan[view]) {
        lastSpan[view] = v;
        fullRedraw.store(true);
    } else if (!pollReady[view]) {
        return;
    }
    pollReady[view] = false;
    float t = owner().displayTimeOffset(view);
    if (v + t > maxSpan) t = std::max(0.0f, maxSpan - v);
    const std::int32_t samples = std::min(getScaledLevel(), maxSamples);
    // Only the room is asked for here: the drawing aligns and counts for the view it draws, and
    // a count taken here would hide the new samples (and a pending full redraw) from it.
    if (kind() != 19 && samples > 0) reserveHistory(view, t, samples);
    for (int k = 0; k < followerCount_; ++k) followers[static_cast<std::size_t>(k)]->pollReady[view] = true;
    markPolled(view);
}

bool PWave::drawable(int clientView) const {
    const bool visible = clientView < 0 || isVisible(clientView);
    return isEnabled() && isShown() && visible;
}

void PWave::writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) {
    const int view = widget.effectiveView;
    DisplayCanvas* canvas = request.canvas;
    const int w = canvas != nullptr ? std::clamp(widget.slot[0], 0, maxWidth) : 0;
    const int h = std::clamp(widget.slot[1], 0, maxHeight);
    out.word(static_cast<std::uint32_t>(w));
    out.word(static_cast<std::uint32_t>(h));
    if (w <= 0 || !drawable(request.clientView) || !isView(view)) return;
    valueChanged.take(view);  // this picture answers the poll's mark

    canvas->firstColumn = 0;
    canvas->startColumn = 0;
    const float v = span();
    float t = owner().displayTimeOffset(request.clientView);
    if (v + t > 5.0f) t = std::max(0.0f, 5.0f - v);
    const std::int32_t n = getScaledLevel();

    std::timed_mutex& lock = viewMutex(view);
    // A wait that runs out does not stop the drawing. The free lock is taken without a timed
    // wait first: the common case, and one the thread checker follows (it misses timed locks).
    const bool locked = lock.try_lock() || lock.try_lock_for(viewWait);
    bool drawn = false;
    if (reserveHistory(view, t, n)) {
        float* scratch = canvas->scratchFor(n);
        if (scratch != nullptr) {
            ++canvas->busy;
            alignToPeak(view, t, n);
            const std::int32_t newCount = widget.force ? -1 : takeNewSampleCount(view);
            std::int32_t skip = (newCount > 0 && n > newCount) ? n - newCount : 0;
            if (isFineMode()) skip = 0;
            // Three columns before the new samples are redrawn too; a one-column canvas has no
            // column width to count in and is redrawn whole.
            const float xs = static_cast<float>(w - 1) / static_cast<float>(std::max(n, 1));
            skip = xs > 0.0f ? std::max(skip - truncToInt32(3.0f / xs + 0.5f), 0) : 0;
            fetchWindow(view, scratch, n, skip);
            canvas->drawWave(w, h, n, skip, scratch);
            --canvas->busy;
            drawn = true;
        }
    }
    if (locked) lock.unlock();
    if (!drawn) {  // no room or no memory: an empty picture, not the last drawing of another widget
        canvas->clearColumns(0, w + 4, true);
        canvas->firstColumn = canvas->startColumn = 0;
    }

    out.flag(isFineMode());
    out.word(static_cast<std::uint32_t>(canvas->firstColumn));
    out.word(static_cast<std::uint32_t>(canvas->startColumn));
    out.number32(truncToInt64(0.5 + static_cast<double>(current()) * 2048.0));
    for (int c = std::max(canvas->startColumn, 0); c < w; ++c) {
        canvas->writeBandWords(c, true, out);
        const int before = std::max(c - 1, 0);
        out.word(static_cast<std::uint32_t>(std::max(canvas->markerTop[before], canvas->markerTop[c])));
        out.word(static_cast<std::uint32_t>(std::min(canvas->markerBottom[before], canvas->markerBottom[c])));
    }
}

// ---- texts and slider

std::string PWave::formatValue(int, const float& v) const {
    const PWave* top = this;
    while (top->master_ != nullptr) top = top->master_;
    if (top->current() <= 0.0025025f) return "Disabled by zoom factor";
    char text[64];
    std::snprintf(text, sizeof text, "%.2g sec", static_cast<double>(v));
    return text;
}

float PWave::parseText(int, std::string_view text) const { return limitSpan(leadingReal(text)); }

float PWave::valueFromSliderPosition(int, float position) const {
    return limitSpan(static_cast<double>(position) * 1024.0);
}

float PWave::sliderPosition(int) const { return current() * 0.0009765625f; }

std::string PWave::saveText(int) const {
    if (!isPersistent()) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(current()));
    return text;
}

std::string PWave::displayText() const {
    char text[64];
    std::snprintf(text, sizeof text, "%.5f", static_cast<double>(current()));
    return std::string(text).substr(0, 7);
}

}  // namespace kestrava::params
