// The texts of a float value: display text with its rounding and clean-up, field text, plain
// display text, save text and its parsing, typed text and the field lengths.
#include "params/CheckedFormat.h"
#include "params/NumberText.h"
#include "params/PFloat.h"
#include "params/TextWords.h"

#include <cmath>
#include <cstdio>

namespace kestrava::params {

namespace {

float roundAway(float x) { return std::round(x); }

float roundForDisplay(float x, bool significant, bool coarse, bool halves) {
    if (significant) {
        if (x >= 10000.0f) return roundAway(x / 100.0f) * 100.0f;
        if (x >= 1000.0f) return roundAway(x / 10.0f) * 10.0f;
        if (x >= 100.0f) return roundAway(x);
        if (x >= 10.0f) return roundAway(10.0f * x) / 10.0f;
        return x;
    }
    if (coarse) {
        if (x > 1000.0f) return roundAway(x / 100.0f) * 100.0f;
        if (x > 500.0f) return roundAway(x / 50.0f) * 50.0f;
        if (x > 100.0f) return roundAway(x / 10.0f) * 10.0f;
        if (x > 50.0f) return roundAway(x / 5.0f) * 5.0f;
        if (x > 10.0f) return roundAway(x);
        if (x > 5.0f) return roundAway(5.0f * x) / 5.0f;
        if (x > 1.0f) return roundAway(10.0f * x) / 10.0f;
        return x;
    }
    if (halves) return roundAway(2.0f * x) / 2.0f;
    return x;
}

// The end of the word that starts after `from`: the next space or the end.
std::size_t wordEnd(const std::string& t, std::size_t from) {
    const std::size_t e = t.find(' ', from);
    return e == std::string::npos ? t.size() : e;
}

bool onlyOf(const std::string& t, std::size_t begin, std::size_t end, std::string_view chars) {
    for (std::size_t i = begin; i < end; ++i) {
        if (chars.find(t[i]) == std::string_view::npos) return false;
    }
    return true;
}

}  // namespace

void PFloat::cleanDollar(std::string& t) {
    const std::size_t d = t.rfind('$');
    if (d == std::string::npos || d == 0) {
        if (d == 0) t.erase(0, 1);
        return;
    }
    std::size_t i = d;
    while (i > 0 && t[i - 1] >= '0' && t[i - 1] <= '9') --i;
    if (i > 1 && t[i - 1] == '.') {
        const std::size_t dot = i - 1;
        std::size_t cut = d;
        while (cut > dot && t[cut - 1] == '0') --cut;
        if (cut == dot + 1) cut = dot;  // nothing but zeros after the point: the point goes too
        t.erase(cut, d + 1 - cut);
    } else {
        t.erase(d, 1);
    }
}

void PFloat::cleanSigns(std::string& t) {
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '+' && t[i] != '-') continue;
        if (onlyOf(t, i + 1, wordEnd(t, i + 1), "0.")) t[i] = ' ';
    }
}

void PFloat::cleanUnitFactor(std::string& t) {
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] != 'x' && t[i] != '/') continue;
        if (t.compare(i + 1, 3, " 1.") != 0) continue;
        if (onlyOf(t, i + 4, wordEnd(t, i + 4), "0")) t[i] = ' ';
    }
}

std::optional<std::string> PFloat::labelFor(float v) const {
    std::lock_guard lock(textMutex);
    if (lowLabel_ && v <= lowThreshold.load()) return lowLabel_;
    if (highLabel_ && v >= highThreshold.load()) return highLabel_;
    return std::nullopt;
}

std::string PFloat::formatValue(int, const float& v) const {
    if (auto label = labelFor(v)) return *label;
    const float x = roundForDisplay(displayFactor * v, roundSignificant, roundCoarse, roundHalves);
    CheckedFormat f(format(), {CheckedFormat::Arg::real});
    if (!f.valid()) f = CheckedFormat(untranslatedFormat(), {CheckedFormat::Arg::real});
    if (!f.valid()) f = CheckedFormat("%f", {CheckedFormat::Arg::real});
    std::string text = f.format({static_cast<double>(x)}, maxValueTextChars);
    if (text.empty()) return text;
    cleanDollar(text);
    cleanSigns(text);
    cleanUnitFactor(text);
    return text;
}

std::string PFloat::fieldConversion() const {
    const std::string f = format();
    const std::size_t start = f.find('%');
    if (start == std::string::npos) return {};
    const std::size_t end = f.find_first_of("fs", start + 1);
    std::string conversion = end == std::string::npos ? f.substr(start) : f.substr(start, end - start + 1);
    if (conversion.size() > maxFormatChars) conversion.resize(maxFormatChars);
    if (!conversion.empty() && conversion.back() == 's') conversion.back() = 'f';
    return conversion;
}

std::string PFloat::getFieldText(int) const {
    const std::string conversion = fieldConversion();
    if (conversion.empty()) return {};
    CheckedFormat f(conversion, {CheckedFormat::Arg::real});
    if (!f.valid()) f = CheckedFormat("%f", {CheckedFormat::Arg::real});
    return f.format({static_cast<double>(displayFactor * current())}, maxValueTextChars);
}

std::string PFloat::displayText() const {
    const int places = decimals_ < 0 ? 0 : (decimals_ > 9 ? 9 : decimals_);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", places, static_cast<double>(current() * displayFactor));
    return buffer;
}

std::string PFloat::saveText(int) const {
    const float v = current();
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.09f", static_cast<double>(v));
    std::string text(buffer);
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    if (text.empty()) text.push_back('0');
    std::optional<std::string> label;
    {
        std::lock_guard lock(textMutex);
        if (highLabel_ && v >= highSpecial.load()) {
            label = highLabel_;
        } else if (lowLabel_ && v <= lowSpecial.load()) {
            label = lowLabel_;
        }
    }
    if (label) {
        text.append(" (");
        text.append(*label);
        text.push_back(')');
    }
    return text;
}

float PFloat::parseText(int, std::string_view text) const {
    auto marker = [](const std::string& label) {
        std::string m = " (";
        m.append(label);
        m.push_back(')');
        if (m.size() > 31) m.resize(31);
        return m;
    };
    if (auto low = lowLabel(); low && text.find(marker(*low)) != std::string_view::npos) return lowSpecial.load();
    if (auto high = highLabel(); high && text.find(marker(*high)) != std::string_view::npos) {
        return highSpecial.load();
    }
    return static_cast<float>(leadingReal(text));
}

bool PFloat::setFromTypedText(std::string_view text, bool) {
    if (text.empty()) return false;
    const float v = static_cast<float>(leadingReal(text)) / displayFactor;
    return applyChecked(v);
}

void PFloat::updateTextWidth() {
    const auto shown = static_cast<int>(std::min(getText(0).size(), maxValueTextChars));
    const auto field = static_cast<int>(std::min(getFieldText(0).size(), maxValueTextChars));
    int w = shown - field + decimals_ + 39;
    if (auto high = highLabel()) w = std::max(w, static_cast<int>(high->size()));
    if (auto low = lowLabel()) w = std::max(w, static_cast<int>(low->size()));
    const int f = decimals_ + 39;
    if (w == textMaxLen.load() && f == fieldLength.load()) return;
    if (textMaxLen.load() != -1) markValueChangedAll();
    textMaxLen.store(w);
    fieldLength.store(f);
}

}  // namespace kestrava::params
