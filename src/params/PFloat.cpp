#include "params/PFloat.h"

#include "params/NumberText.h"
#include "params/TextCatalog.h"
#include "params/TextWords.h"

#include <cmath>
#include <limits>

namespace kestrava::params {

namespace {
float thresholdAbove(float v) { return (v == 0.0f || v == 1.0f) ? v : v + 0.000001f * std::fabs(v); }
float thresholdBelow(float v) { return (v == 0.0f || v == 1.0f) ? v : v - 0.000001f * std::fabs(v); }
}  // namespace

PFloat::PFloat(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, float minimum, float maximum,
               float fullScale, float defaultValue, std::int32_t code, float exponent, const ShortKey& shortKey,
               const NamePair& section, const NamePair& key, std::string_view name, std::string_view format,
               float factor)
    : ValueParam<float>(owner, viewMask, id, kind, name, shortKey, section, key),
      ParamTextfield(static_cast<Param&>(*this), format), minimum_(minimum), maximum_(maximum), effMin(minimum),
      effMax(maximum), sliderFullScale(fullScale), curveExponent(std::fabs(exponent)), displayFactor(factor),
      lowSpecial(std::numeric_limits<float>::min()), highSpecial(std::numeric_limits<float>::max()),
      lowThreshold(std::numeric_limits<float>::min()), highThreshold(std::numeric_limits<float>::max()) {
    if (code >= significantCode - 100) {
        roundSignificant = true;
        decimals_ = code - significantCode;
    } else if (code >= coarseCode - 100) {
        roundCoarse = true;
        decimals_ = code - coarseCode;
    } else if (code >= halvesCode - 100) {
        roundHalves = true;
        decimals_ = code - halvesCode;
    } else {
        decimals_ = code;
    }
    decimalScale = std::pow(10.0f, static_cast<float>(decimals_));
    storeDefaultEverywhere(defaultValue);
}

std::optional<std::string> PFloat::lowLabel() const {
    std::lock_guard lock(textMutex);
    return lowLabel_;
}

std::optional<std::string> PFloat::highLabel() const {
    std::lock_guard lock(textMutex);
    return highLabel_;
}

void PFloat::setMin(float v) {
    if (v == minimum_.load()) return;
    minimum_.store(v);
    effMin.store(lowLabel() ? std::max(v, lowSpecial.load()) : v);
    markValueChangedAll();
}

void PFloat::setMax(float v) {
    if (v == maximum_.load()) return;
    maximum_.store(v);
    effMax.store(highLabel() ? std::min(v, highSpecial.load()) : v);
    markValueChangedAll();
}

void PFloat::setLowSpecial(float v, std::optional<std::string> label) {
    lowSpecial.store(v);
    lowThreshold.store(thresholdAbove(v));
    {
        std::lock_guard lock(textMutex);
        lowLabel_ = std::move(label);
    }
    effMin.store(std::max(v, minimum_.load()));
    updateTextWidth();
    markValueChangedAll();
}

void PFloat::setHighSpecial(float v, std::optional<std::string> label) {
    highSpecial.store(v);
    highThreshold.store(thresholdBelow(v));
    {
        std::lock_guard lock(textMutex);
        highLabel_ = std::move(label);
    }
    effMax.store(std::min(v, maximum_.load()));
    updateTextWidth();
    markValueChangedAll();
}

float PFloat::getStepBase() const {
    float r = (effMax.load() - effMin.load()) * decimalScale * displayFactor;
    if (roundHalves) r *= 2.0f;
    return std::trunc(r + 0.5f);
}

void PFloat::getSteps(int& normal, int& drag, int& fast) const {
    const std::int64_t n = truncToInt64(getStepBase());
    if (n < 64) {
        normal = 1, drag = 1, fast = 1;
    } else if (n < 100) {
        normal = 2, drag = 1, fast = 5;
    } else if (n < 1000) {
        normal = 5, drag = n >= 500 ? 5 : 1, fast = 10;
    } else if (n < 15000) {
        normal = 10, drag = n >= 5000 ? 50 : 10, fast = 100;
    } else {
        normal = 50, drag = n > 50000 ? 500 : 100, fast = 500;
    }
}

float PFloat::valueToPosition(float v) const {
    const float lo = effMin.load(), span = effMax.load() - lo;
    if (span == 0.0f || std::isnan(v)) return 0.0f;
    const float t = (v - lo) / span;
    const float c = curveExponent;
    float b = t < 0.0f ? 0.0f : std::pow(t, 1.0f / c);
    if (c > 5.0f) {
        if (b < 0.75f) b = (b / 0.75f) * (b / 0.75f) * 0.75f;
        if (c > 15.0f && b < 0.5f) b = (2.0f * b) * (2.0f * b) * 0.5f;
        if (b < 0.25f) b = (4.0f * b) * (4.0f * b) * 0.25f;
        if (c > 15.0f && b < 0.125f) b = (8.0f * b) * (8.0f * b) * 0.125f;
    }
    if (!(b > 0.0f)) return 0.0f;
    return b > 1.0f ? 1.0f : b;
}

float PFloat::positionToValue(float x) const {
    if (lowLabel() && x <= 0.0f) return lowSpecial.load();
    if (highLabel() && x >= 1.0f) return highSpecial.load();
    const float c = curveExponent;
    if (c > 5.0f) {
        if (c > 15.0f && x < 0.125f) x = std::sqrt(8.0f * x) * 0.125f;
        if (x < 0.25f) x = std::sqrt(4.0f * x) * 0.25f;
        if (c > 15.0f && x < 0.5f) x = std::sqrt(2.0f * x) * 0.5f;
        if (x < 0.75f) x = std::sqrt(x / 0.75f) * 0.75f;
    }
    const float lo = effMin.load();
    return lo + std::pow(x, c) * (effMax.load() - lo);
}

bool PFloat::setFromPosition(float position) { return applyChecked(positionToValue(position)); }

float PFloat::snapped(float v) const {
    if (lowLabel() && v <= lowThreshold.load()) v = lowSpecial.load();
    if (highLabel() && v >= highThreshold.load()) v = highSpecial.load();
    return v;
}

bool PFloat::setValue(float v) { return commitValue(snapped(v)); }

bool PFloat::isInRange(const float& v) const {
    if (v >= minimum_.load() && v <= maximum_.load()) return true;
    if (lowLabel() && v == lowSpecial.load()) return true;
    if (highLabel() && v == highSpecial.load()) return true;
    return false;
}

float PFloat::sliderPosition(int) const {
    const float offset = minimum_.load() < 0.0f ? 0.5f : 0.0f;
    return sliderFullScale == 0.0f ? offset : current() / sliderFullScale + offset;
}

float PFloat::valueFromSliderPosition(int, float position) const {
    const float offset = minimum_.load() < 0.0f ? 0.5f : 0.0f;
    return (position - offset) * sliderFullScale;
}

bool PFloat::readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext&) {
    if (values.count() <= 0) return false;
    const std::int32_t command = *values.at(1);
    if (command == 1 || command == 2) {
        if (!isEditable(request.clientView)) return false;
        return applySliderCommand(values, command);
    }
    if (command == 3) {
        int position = 2;
        return readTextWireInput(values, position, isEditable(request.clientView) && kind() != 5);
    }
    return false;
}

void PFloat::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    if (!valueToSend(*this, widget)) return;
    const float base = getStepBase();
    out.number32(truncToInt32(base));
    out.number32(truncToInt32(getPosition(ValueKind::current) * base + 0.5f));
    out.number32(truncToInt32(0.5f + getPosition(ValueKind::saved) * base));
    out.text(getText(widget.effectiveView), maxValueTextChars);
    out.text(getFieldText(widget.effectiveView), maxValueTextChars);
}

void PFloat::writeTextFieldDescriptor(WordWriter& out) const {
    out.word(static_cast<std::uint32_t>(getMaxLen()));
    out.flag(false);
    out.flag(false);
    out.flag(false);
    out.number32(-1);
}

void PFloat::writeWireValue(WordWriter& out) {
    writeSliderSteps(out);
    writeTextFieldDescriptor(out);
}

void PFloat::retranslate() {
    Param::retranslate();
    retranslateFormat(owner().translations());
}

void PFloat::exportTexts(TextExport& out) const {
    Param::exportTexts(out);
    out.add(untranslatedFormat(), TextMode::format);
}

}  // namespace kestrava::params
