#include "params/PMeter.h"

#include "params/NumberText.h"
#include "params/TextCatalog.h"

#include <algorithm>
#include <cmath>

namespace kestrava::params {

namespace {

// Colour codes of the integer part of the second value, from -8 (index 0) to 0 (index 8).
constexpr std::int32_t colourOfSecond[9] = {8, 7, -1, 5, 4, 3, 2, 1, 0};
constexpr int fullBarIndex = 5;  // -3: the bar is shown full

bool differ(float a, float b) { return !(a == b); }

std::int64_t milli(float v) { return truncToInt64(static_cast<double>(v) * 1000.0 + 0.5); }

}  // namespace

void MeterScale::write(int scaleType, WordWriter& out) const {
    out.word(meterLevelWord(origin));
    out.number32(scaleType);
    out.number32(range);
    out.number32(start);
    out.number32(primaryStep);
    out.number32(secondaryStep);
}

PMeter::PMeter(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::string_view name, LevelHistory* h,
               Options o)
    : Param(owner, viewMask, id, kindCode, name), options(std::move(o)), history(h), color_(options.color),
      colorAtChange(options.color), secondTranslated(options.secondText) {}

MeterTagList& PMeter::tagList() {
    static MeterTagList list;
    return list;
}

std::string PMeter::secondText() const {
    std::lock_guard lock(textMutex);
    return secondTranslated;
}

void PMeter::setPending(int view, const MeterValues& v) {
    if (!isView(view)) return;
    std::lock_guard lock(valuesMutex);
    pending[static_cast<std::size_t>(view)] = v;
}

void PMeter::refresh(int view, float span) {
    if (view < 0) {
        for (int v = 0; v < viewCount; ++v) refreshView(v, span);
        return;
    }
    refreshView(view, span);
}

bool PMeter::refreshView(int view, float span) {
    if (!isView(view)) return false;
    const auto i = static_cast<std::size_t>(view);
    bool changed = false;
    {
        std::lock_guard lock(valuesMutex);
        MeterValues& p = pending[i];
        if (history != nullptr) {
            const LevelHistory::Window w = history->readWindow(view, span, options.peakMode);
            p.main = w.main;
            p.second = w.second;
            p.limit = w.limit;
            p.gate = w.gate;
            p.releaseHold = w.releaseHold;
            p.median = history->median();
        }
        const MeterValues& s = sent[i];
        const std::int32_t colour = color_.load();
        changed = colour != colorAtChange || differ(p.median, s.median) || differ(p.second, s.second) ||
                  differ(p.limit, s.limit) || differ(p.gate, s.gate) || differ(p.releaseHold, s.releaseHold);
        if (options.alwaysRefresh) {
            changed = changed || p.main == -1.0f || s.main == -1.0f || std::isnan(p.main) || std::isnan(s.main) ||
                      milli(p.main) != milli(s.main);
        } else {
            changed = changed || differ(p.main, s.main);
        }
        if (changed) {
            sent[i] = p;
            colorAtChange = colour;
        }
    }
    if (changed) {
        valueChanged.mark(view);
        markChanged();
    }
    return changed;
}

MeterValues PMeter::getMeterClientValues(int view) const {
    MeterValues v;
    if (!isView(view)) return v;
    {
        std::lock_guard lock(valuesMutex);
        v = sent[static_cast<std::size_t>(view)];
    }
    const std::pair<float*, const char*> guarded[] = {
        {&v.main, "1a"}, {&v.second, "1g"}, {&v.limit, "1bl"}, {&v.gate, "1bg"}, {&v.median, "1m"}};
    for (const auto& [value, tag] : guarded) {
        if (!passesMeterGuard(*value)) {
            *value = 0.0f;
            tagList().report(tag, static_cast<int>(id()));
        }
    }
    if (options.scaleType == 1) {
        const float s = options.dbScale;
        for (float* x : {&v.main, &v.second}) {
            if (*x >= 0.0f) *x = std::max(0.0f, meterDecibels(*x, s));
        }
        for (float* x : {&v.limit, &v.gate, &v.median}) {
            if (*x >= 0.0f) *x = meterDecibels(*x, s);
        }
    }
    return v;
}

void PMeter::writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) {
    const int client = request.clientView;
    if (!isEnabled() || !isShown() || !(client < 0 || isVisible(client))) return;
    const bool changed = valueChanged.take(widget.effectiveView);
    if (!changed && !widget.force && !widget.expand) return;
    MeterValues v = getMeterClientValues(widget.effectiveView);
    std::int32_t colour = color_.load();
    if (colour == -1) {
        const std::int64_t k = truncToInt64(static_cast<double>(v.second)) + 8;
        if (k >= 0 && k <= 8) {
            colour = colourOfSecond[k];
            if (k == fullBarIndex) v.main = 1.0f;
        }
    }
    out.word(meterLevelWord(v.main));
    out.word(meterLevelWord(v.second));
    out.word(meterLevelWord(v.limit));
    out.word(meterLevelWord(v.median));
    out.word(static_cast<std::uint32_t>(colour));
    out.text({}, 128);  // the error text: nothing to report
}

void PMeter::writeWireValue(WordWriter& out) { options.scale.write(options.scaleType, out); }

void PMeter::retranslate() {
    Param::retranslate();
    bool changed = false;
    {
        std::lock_guard lock(textMutex);
        changed = translateInto(secondTranslated, 31, owner().translations(), options.secondText, TextMode::label,
                                isTranslatable());
    }
    if (changed) {
        updateTextWidth();
        markValueChangedAll();
    }
}

void PMeter::exportTexts(TextExport& out) const {
    Param::exportTexts(out);
    if (!options.secondText.empty()) out.add(options.secondText, TextMode::label);
}

}  // namespace kestrava::params
