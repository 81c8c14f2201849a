#include "params/PDualMeter.h"

#include <algorithm>
#include <cmath>

namespace kestrava::params {

namespace {

bool samePair(const MeterValues& a, const MeterValues& b) {
    // Compared value by value so that a NaN counts as a change.
    return a.main == b.main && a.second == b.second && a.limit == b.limit && a.gate == b.gate &&
           a.median == b.median && a.releaseHold == b.releaseHold;
}

}  // namespace

PDualMeter::PDualMeter(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::string_view name,
                       LevelHistory* channel0, LevelHistory* channel1, Options o)
    : Param(owner, viewMask, id, kindCode, name), options(std::move(o)), histories{channel0, channel1} {}

MeterTagList& PDualMeter::tagList() {
    static MeterTagList list;
    return list;
}

void PDualMeter::setPending(int view, const Pair& v) {
    if (!isView(view)) return;
    std::lock_guard lock(valuesMutex);
    pending[static_cast<std::size_t>(view)] = v;
}

void PDualMeter::setColorOverride(std::optional<std::int32_t> color) {
    std::lock_guard lock(valuesMutex);
    colorOverride = color;
}

void PDualMeter::force(int view) {
    if (!isView(view)) return;
    std::lock_guard lock(valuesMutex);
    forceFlags[static_cast<std::size_t>(view)] = true;
}

float PDualMeter::holdCount(int channel) const {
    std::lock_guard lock(valuesMutex);
    return hold[static_cast<std::size_t>(channel & 1)];
}

void PDualMeter::refresh(int view, float span) {
    if (view < 0) {
        for (int v = 0; v < viewCount; ++v) refreshView(v, span);
        return;
    }
    refreshView(view, span);
}

bool PDualMeter::refreshView(int view, float span) {
    if (!isView(view)) return false;
    const auto i = static_cast<std::size_t>(view);
    bool changed = false;
    {
        std::lock_guard lock(valuesMutex);
        Pair& p = pending[i];
        for (std::size_t c = 0; c < 2; ++c) {
            LevelHistory* h = histories[c];
            if (h == nullptr) continue;
            const LevelHistory::Window w = h->readWindow(view, span, options.peakMode);
            p[c].main = w.main;
            p[c].second = w.second;
            p[c].limit = w.limit;
            p[c].gate = w.gate;
            p[c].releaseHold = w.releaseHold;
            p[c].median = h->median();
            if (c == 0) channel1LimitLinear = h->limitFlag();
        }
        for (std::size_t c = 0; c < 2; ++c) {
            if (options.clipMode == 1 && p[0].limit != -2.0f) {
                hold[c] = std::max(hold[c], p[c].main >= fullScale ? holdWrites : 0.0f);
            } else if (options.clipMode == 2) {
                const float over = 32768.0f * (std::max(p[c].main, p[c].second) - options.clipThreshold);
                if (!std::isnan(over)) hold[c] = std::max(hold[c], std::min(holdWrites, over));
            }
        }
        changed = forceFlags[i] || !samePair(p[0], sent[i][0]) || !samePair(p[1], sent[i][1]) || clipFlags[0] ||
                  clipFlags[1] || hold[0] > 0.0f || hold[1] > 0.0f;
        if (changed) {
            for (std::size_t c = 0; c < 2; ++c) clipFlags[c] = hold[c] > 0.0f;
            sent[i] = p;
            forceFlags[i] = false;
        }
    }
    if (changed) {
        valueChanged.mark(view);
        markChanged();
    }
    return changed;
}

PDualMeter::ClientValues PDualMeter::getDualMeterClientValues(int view) const {
    Pair v{};
    bool linear = false;
    if (isView(view)) {
        std::lock_guard lock(valuesMutex);
        v = sent[static_cast<std::size_t>(view)];
        linear = channel1LimitLinear;
    }
    struct Guarded {
        float MeterValues::*member;
        const char* tag;
    };
    const Guarded guarded[] = {{&MeterValues::main, "2a"},
                               {&MeterValues::second, "2g"},
                               {&MeterValues::limit, "2bl"},
                               {&MeterValues::gate, "2bg"},
                               {&MeterValues::median, "2m"}};
    for (const Guarded& g : guarded) {
        float& a = v[0].*g.member;
        float& b = v[1].*g.member;
        // Both guards run: each raises its value to the floor.
        const bool firstOk = passesMeterGuard(a);
        const bool secondOk = passesMeterGuard(b);
        const bool ok = firstOk && secondOk;
        if (!ok) {
            a = b = 0.0f;
            tagList().report(g.tag, static_cast<int>(id()));
        }
    }
    if (options.scaleType == 1) {
        const float s = options.dbScale;
        for (std::size_t c = 0; c < 2; ++c) {
            MeterValues& m = v[c];
            if (m.main >= 0.0f) m.main = std::max(0.0f, meterDecibels(m.main, s));
            if (m.second >= 0.0f) m.second = std::max(0.0f, meterDecibels(m.second, s));
            if (m.limit >= 0.0f && (c == 0 || !linear)) m.limit = -20.0f * s * std::log(std::max(1.0f - m.limit, 1e-11f));
            if (m.median >= 0.0f) m.median = meterDecibels(m.median, s);
        }
    }
    return {v[0].main, v[1].main, v[0].second, v[1].second, v[0].limit,       v[1].limit,
            v[0].gate, v[1].gate, v[0].median, v[1].median, v[0].releaseHold, v[1].releaseHold};
}

std::int32_t PDualMeter::channelColor(int c) const {
    if (hold[static_cast<std::size_t>(c)] > 0.0f) return options.clipColor;
    return colorOverride ? *colorOverride : options.baseColor;
}

void PDualMeter::writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) {
    const int client = request.clientView;
    if (!isEnabled() || !isShown() || !(client < 0 || isVisible(client))) return;
    const bool changed = valueChanged.take(widget.effectiveView);
    if (!changed && !widget.force && !widget.expand) return;
    const ClientValues v = getDualMeterClientValues(widget.effectiveView);
    const bool gates = v[6] + v[7] > v[4] + v[5];
    out.word(meterLevelWord(v[0]));
    out.word(meterLevelWord(v[1]));
    out.word(meterLevelWord(v[2]));
    out.word(meterLevelWord(v[3]));
    out.word(meterLevelWord(gates ? v[6] : v[4]));
    out.word(meterLevelWord(gates ? v[7] : v[5]));
    out.word(meterLevelWord(v[8]));
    out.word(meterLevelWord(v[9]));
    out.flag(gates);
    std::lock_guard lock(valuesMutex);
    for (int c = 0; c < 2; ++c) out.flag(channelColor(c) == 16);
    for (float& h : hold) h = std::max(0.0f, h - 1.0f);
}

}  // namespace kestrava::params
