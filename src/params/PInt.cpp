#include "params/PInt.h"

#include "params/CheckedFormat.h"
#include "params/NumberText.h"
#include "params/TextCatalog.h"
#include "params/TextWords.h"

#include <cmath>

namespace kestrava::params {

namespace {

// The value through a format with one integer conversion; a format that does not check out
// falls back to the plain number.
std::string formatInteger(const std::string& format, const std::string& fallback, std::int64_t v) {
    CheckedFormat f(format, {CheckedFormat::Arg::integer});
    if (!f.valid()) f = CheckedFormat(fallback, {CheckedFormat::Arg::integer});
    if (!f.valid()) return decimalText(v);
    return f.format({v}, maxValueTextChars - 1);
}

std::int64_t powerOfTen(int digits) {
    std::int64_t v = 1;
    for (int i = 0; i < digits && i < 18; ++i) v *= 10;
    return v;
}

}  // namespace

PInt::PInt(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::int64_t minimum,
           std::int64_t maximum, std::int64_t fullScale, std::int64_t defaultValue, const ShortKey& shortKey,
           const NamePair& section, const NamePair& key, std::string_view name, std::string_view format)
    : PInt(owner, viewMask, id, kind, minimum, maximum, fullScale, defaultValue, 20, shortKey, section, key, name,
           format) {}

PInt::PInt(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::int64_t minimum,
           std::int64_t maximum, std::int64_t fullScale, std::int64_t defaultValue, int width,
           const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
           std::string_view format)
    : ValueParam<std::int64_t>(owner, viewMask, id, kind, name, shortKey, section, key),
      ParamTextfield(static_cast<Param&>(*this), format), minimum_(minimum), maximum_(maximum),
      sliderFullScale(fullScale), fieldWidth(width) {
    storeDefaultEverywhere(defaultValue);
}

void PInt::setCompanionValue(std::int64_t offset) {
    if (displayOffset_.exchange(offset) == offset) return;
    markValueChangedAll();
}

float PInt::getStepBase() const { return static_cast<float>(maximum_ - minimum_); }

float PInt::getPosition(int kind) const {
    const float base = getStepBase();
    if (base == 0.0f) return 0.0f;
    return static_cast<float>(getValue(kind) - minimum_) / base;
}

bool PInt::setFromPosition(float position) {
    const float base = getStepBase();
    const std::int64_t v = minimum_ + truncToInt32(base * position + 0.5f);
    return applyChecked(v);
}

std::string PInt::fieldConversion() const {
    const std::string f = format();
    const std::size_t start = f.find('%');
    if (start == std::string::npos) return {};
    std::size_t end = f.find_first_of("di", start + 1);
    std::string conversion = end == std::string::npos ? f.substr(start) : f.substr(start, end - start + 1);
    if (conversion.size() > maxFormatChars) conversion.resize(maxFormatChars);
    return conversion;
}

std::string PInt::getFieldText(int) const {
    const std::string conversion = fieldConversion();
    if (conversion.empty()) return {};
    return formatInteger(conversion, "%d", current() + displayOffset());
}

std::string PInt::formatValue(int, const std::int64_t& v) const {
    return formatInteger(format(), untranslatedFormat(), v + displayOffset());
}

bool PInt::setFromTypedText(std::string_view text, bool) {
    if (text.empty()) return false;
    const std::int64_t v = static_cast<std::int64_t>(leadingInt32(text)) - displayOffset();
    if (v < minimum_ || v > maximum_) return false;
    return applyChecked(v);
}

void PInt::writeTextFieldDescriptor(WordWriter& out) const {
    out.word(static_cast<std::uint32_t>(getMaxLen()));
    out.flag(false);
    out.flag(false);
    out.flag(false);
    out.number32(-1);
}

bool PInt::readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext&) {
    if (values.count() <= 0) return false;
    const std::int32_t command = *values.at(1);
    if (command == 1 || command == 2) {
        if (!isEditable(request.clientView)) return false;
        return applySliderCommand(values, command);
    }
    if (command == 3) {
        int position = 2;
        return readTextWireInput(values, position, isEditable(request.clientView));
    }
    return false;
}

void PInt::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    if (!valueToSend(*this, widget)) return;
    const float base = getStepBase();
    out.number32(truncToInt32(base));
    out.number32(truncToInt32(getPosition(ValueKind::current) * base + 0.5f));
    out.number32(truncToInt32(getPosition(ValueKind::saved) * base + 0.5f));
    out.text(getText(widget.effectiveView), maxValueTextChars);
    out.text(getFieldText(widget.effectiveView), maxValueTextChars);
}

void PInt::writeWireValue(WordWriter& out) {
    writeSliderSteps(out);
    writeTextFieldDescriptor(out);
}

void PInt::updateTextWidth() {
    const auto shown = static_cast<int>(std::min(getText(0).size(), maxValueTextChars));
    const auto field = static_cast<int>(std::min(getFieldText(0).size(), maxValueTextChars));
    const int w = shown - field + fieldWidth;
    if (w == textMaxLen.load() && fieldWidth == fieldLength.load()) return;
    if (textMaxLen.load() != -1) markValueChangedAll();
    textMaxLen.store(w);
    fieldLength.store(fieldWidth);
}

void PInt::retranslate() {
    Param::retranslate();
    retranslateFormat(owner().translations());
}

void PInt::exportTexts(TextExport& out) const {
    Param::exportTexts(out);
    out.add(untranslatedFormat(), TextMode::format);
}

std::string PInt::saveText(int) const { return decimalText(current()); }

std::string PInt::displayText() const { return decimalText(current() + displayOffset()).substr(0, 7); }

float PInt::sliderPosition(int) const {
    if (sliderFullScale == 0) return 0.0f;
    return static_cast<float>(current()) / static_cast<float>(static_cast<std::uint64_t>(sliderFullScale));
}

bool PInt::isKindSupported() const {
    const int k = kind();
    return k == 6 || k == 7 || k == 8 || k == 44;
}

std::int64_t PInt::parseText(int, std::string_view text) const { return truncToInt64(leadingReal(text)); }

std::int64_t PInt::valueFromSliderPosition(int, float position) const {
    const float scaled = static_cast<float>(static_cast<std::uint64_t>(sliderFullScale)) * position + 0.125f;
    std::int64_t v = truncToInt64(scaled);
    if (v < minimum_) v = minimum_;
    if (v > maximum_) v = maximum_;
    return v;
}

PDec::PDec(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int digits, std::int32_t defaultValue,
           const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
           std::string_view format)
    : PInt(owner, viewMask, id, 8, 0, powerOfTen(digits) - 1, powerOfTen(digits) - 1, defaultValue, digits,
           shortKey, section, key, name, format) {}

bool PDec::setFromTypedText(std::string_view text, bool) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] < '0' || text[i] > '9')) ++i;
    if (i == text.size()) return false;
    std::int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > maximum_) return false;  // past the field's digits
    }
    return applyChecked(v);
}

std::string PDec::getFieldText(int) const { return decimalText(current()); }

std::string PDec::displayText() const { return decimalText(current()).substr(0, 7); }

}  // namespace kestrava::params
