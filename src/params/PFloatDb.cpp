#include "params/PFloatDb.h"

#include "params/CheckedFormat.h"
#include "params/NumberText.h"
#include "params/TextWords.h"

#include <cmath>

namespace kestrava::params {

PFloatDb::PFloatDb(ParamOwner& owner, std::uint32_t viewMask, ParamId id, float minimum, float maximum,
                   float fullScale, float defaultValue, std::int32_t code, float exponent, const ShortKey& shortKey,
                   const NamePair& section, const NamePair& key, std::string_view name, std::string_view format,
                   float factor, float low, float high)
    : PFloat(owner, viewMask, id, 2, minimum, maximum, fullScale, defaultValue, code, exponent, shortKey, section,
             key, name, format, factor) {
    dbMode = low >= 9.6186677e-06f && high <= 128.128f;
    if (dbMode) {
        PFloat::setMin(low);
        updateLogMin();
        PFloat::setMax(high);
        updateLogMax();
        valueChanged.clear(allViewBits);
    }
}

float PFloatDb::getStepBase() const {
    if (!dbMode) return PFloat::getStepBase();
    double r = static_cast<double>(decimalScale) * 20.0 *
               std::log(static_cast<double>(effMax.load()) / std::max(0.000001, static_cast<double>(effMin.load()))) /
               std::log(10.0);
    if (roundHalves) r *= 2.0;
    return static_cast<float>(std::round(r));
}

void PFloatDb::getSteps(int& normal, int& drag, int& fast) const {
    if (!dbMode) return PFloat::getSteps(normal, drag, fast);
    const std::int64_t n = truncToInt64(getStepBase());
    if (decimals_ >= 2) {
        normal = 10, drag = n > 5000 ? 50 : 10, fast = 100;
    } else if (decimals_ == 1) {
        normal = 5, drag = n > 500 ? 5 : 1, fast = 10;
    } else {
        normal = 1, drag = 1, fast = 5;
    }
}

void PFloatDb::setMin(float v) {
    const bool same = v == minimum_.load();
    PFloat::setMin(v);
    if (dbMode && !same) updateLogMin();
}

void PFloatDb::setMax(float v) {
    const bool same = v == maximum_.load();
    PFloat::setMax(v);
    if (dbMode && !same) updateLogMax();
}

void PFloatDb::setLowSpecial(float v, std::optional<std::string> label) {
    PFloat::setLowSpecial(v, std::move(label));
    if (dbMode) updateLogMin();
}

void PFloatDb::setHighSpecial(float v, std::optional<std::string> label) {
    PFloat::setHighSpecial(v, std::move(label));
    if (dbMode) updateLogMax();
}

float PFloatDb::valueToPosition(float v) const {
    if (!dbMode) return PFloat::valueToPosition(v);
    if (v == 0.0f) return 0.0f;
    const float lo = log2Min.load(), span = log2Max.load() - lo;
    if (span == 0.0f) return 0.0f;
    const float p = (std::log(v) / 0.6931472f - lo) / span;
    if (!(p > 0.0f)) return 0.0f;
    return p > 1.0f ? 1.0f : p;
}

float PFloatDb::positionToValue(float x) const {
    if (!dbMode) return PFloat::positionToValue(x);
    if (lowLabel() && x == 0.0f) return lowSpecial.load();
    if (highLabel() && x == 1.0f) return highSpecial.load();
    if (x == 0.0f) return effMin.load();
    if (x == 1.0f) return effMax.load();
    const float lo = log2Min.load();
    return std::exp2(lo + x * (log2Max.load() - lo));
}

bool PFloatDb::setFromTypedText(std::string_view text, bool raw) {
    if (!dbMode) return PFloat::setFromTypedText(text, raw);
    if (text.empty()) return false;
    const float v = std::pow(10.0f, static_cast<float>(leadingReal(text)) / 20.0f);
    if (!(v >= minimum_.load() && v <= maximum_.load())) return false;
    return applyChecked(v);
}

std::string PFloatDb::getFieldText(int view) const {
    if (!dbMode) return PFloat::getFieldText(view);
    const std::string conversion = fieldConversion();
    if (conversion.empty()) return {};
    const float v = current();
    float level = -99.0f;
    if (v > 0.0f) {
        const float l = 20.0f * std::log(v) / std::log(10.0f);
        if (l >= -99.0f) level = l;
    }
    if (roundHalves) level = std::round(2.0f * level) / 2.0f;
    CheckedFormat f(conversion, {CheckedFormat::Arg::real});
    if (!f.valid()) f = CheckedFormat("%f", {CheckedFormat::Arg::real});
    return f.format({static_cast<double>(level)}, maxValueTextChars);
}

std::string PFloatDb::formatValue(int view, const float& v) const {
    if (!dbMode) return PFloat::formatValue(view, v);
    if (auto label = labelFor(v)) return *label;
    double level = -100.0;
    if (v > 0.0f) level = std::max(-100.0, 20.0 * std::log(std::max(0.000000001, static_cast<double>(v))) / std::log(10.0));
    if (roundHalves) level = std::round(2.0 * level) / 2.0;
    using A = CheckedFormat::Arg;
    CheckedFormat f(format(), {A::real, A::real});
    if (!f.valid()) f = CheckedFormat(untranslatedFormat(), {A::real, A::real});
    if (!f.valid()) f = CheckedFormat("%+.2f dB", {A::real, A::real});
    std::string text = f.format({level, static_cast<double>(displayFactor * v)}, maxValueTextChars);
    cleanSigns(text);
    return text;
}

PTilt::PTilt(ParamOwner& owner, std::uint32_t viewMask, ParamId id, float minimum, float maximum, float fullScale,
             float defaultValue, std::int32_t code, float exponent, const ShortKey& shortKey, const NamePair& section,
             const NamePair& key, std::string_view name, std::string_view format, float factor)
    : PFloat(owner, viewMask, id, 5, minimum, maximum, fullScale, defaultValue, code, exponent, shortKey, section,
             key, name, format, factor) {}

float PTilt::valueToPosition(float v) const {
    if (std::isnan(v)) return 0.5f;
    const double a = (1.0 - std::pow(std::fabs(static_cast<double>(v)) / 5.0, 1.0 / 13.0)) * 2.425;
    double p = v < 0.0f ? (1.0 - a) * 0.5 : (1.0 + a) * 0.5;
    // A stored 0 (only a default can leave one) would lie outside the slider.
    if (p < 0.0) p = 0.0;
    if (p > 1.0) p = 1.0;
    return static_cast<float>(p);
}

bool PTilt::setFromPosition(float position) {
    const double x = 2.0 * static_cast<double>(position);
    const double a = 1.0 - std::fabs(x - 1.0) / 2.425;
    const double c = std::max(std::pow(a, 13.0) * 5.0, 0.005);
    const float v = static_cast<float>(x < 1.0 ? -c : c);
    return applyChecked(v);
}

bool PTilt::setValue(float v) { return PFloat::setValue(v == 0.0f ? 5.0f : v); }

std::string PTilt::formatValue(int, const float& v) const {
    std::string text;
    if (std::fabs(v) <= 4.5f) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%+.0f", static_cast<double>(v) * 1000000.0);
        text = buffer;
        if (text.size() >= 5) text.insert(text.size() - 3, 1, ',');
        if (text.size() >= 9) text.insert(text.size() - 7, 1, ',');
        // The micro sign in Latin-1, the encoding of the pages.
        for (const char c : std::string_view(" \xB5s")) {
            if (text.size() >= 14) break;
            text.push_back(c);
        }
    } else {
        text = "DISABLED";
    }
    CheckedFormat f(format(), {CheckedFormat::Arg::text});
    if (!f.valid()) f = CheckedFormat("%s", {CheckedFormat::Arg::text});
    return f.format({std::string_view(text)}, maxValueTextChars);
}

std::string PTilt::getFieldText(int view) const {
    const float v = current();
    if (!(std::fabs(v) <= 4.5f)) return {};
    return PFloat::getFieldText(view);
}

}  // namespace kestrava::params
