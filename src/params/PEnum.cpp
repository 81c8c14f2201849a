#include "params/PEnum.h"

#include "params/TextCatalog.h"
#include "params/TextWords.h"
#include "params/ids/ParamIdName.h"

#include <cmath>
#include <cstdio>

namespace kestrava::params {

namespace {
std::string cut(std::string_view s, std::size_t n) { return std::string(s.substr(0, std::min(s.size(), n))); }
}  // namespace

PEnum::PEnum(ParamOwner& owner, std::uint32_t viewMask, ParamId id, const LMEnumList* entries, bool option,
             std::int32_t scale, std::int32_t defaultValue, const ShortKey& shortKey, const NamePair& section,
             const NamePair& key, std::string_view name)
    : ValueParam<std::int32_t>(owner, viewMask, id, 10, name, shortKey, section, key),
      unknownOption(option), list(entries), sliderScale(scale) {
    storeDefaultEverywhere(defaultValue);
    setValue(defaultValue);
    valueChanged.clear(anyViewBit);
}

std::string PEnum::keyText() const {
    std::lock_guard lock(textMutex);
    return keyText_;
}

std::string PEnum::labelText() const {
    std::lock_guard lock(textMutex);
    return labelText_;
}

bool PEnum::checkIndex(int count, int index) const {
    if (index < count) return count == 0;
    if (count > 0 && !unknownState.load() && id() != ID_ENUMACTION_RESET) {
        std::fprintf(stderr, "Enum %s index is %d/%d while unknown is not active\n", getParamIdName(id()), index,
                     count);
    }
    return true;
}

bool PEnum::setValue(std::int32_t v) {
    const bool wasUnknown = unknownState.load();
    bool result = false;
    const int count = entryCount();
    if (wasUnknown && v == unknownValue) return commitValue(v);
    LMEnumType* match = nullptr;
    for (int i = 0; i < count; ++i) {
        LMEnumType* e = list->getEntry(i);
        if (e != nullptr && e->value.load() == v) match = e;
    }
    if (match != nullptr) {
        result = commitValue(v);
        {
            std::lock_guard lock(textMutex);
            keyText_ = cut(match->getKey(), maxTextChars);
            labelText_ = cut(match->getLabel(), maxTextChars);
        }
        unknownState.store(false);
    } else if (unknownOption) {
        result = commitValue(v);
        unknownState.store(true);
    } else if (count > 0) {
        result = commitValue(getValue(ValueKind::defaultValue));
        {
            std::lock_guard lock(textMutex);
            keyText_.clear();
            labelText_.clear();
        }
        unknownState.store(false);
    } else {
        return false;
    }
    if (unknownState.load() != wasUnknown) {
        markContentChanged(allViews);
        return true;
    }
    return result;
}

std::int32_t PEnum::parseText(int, std::string_view text) const {
    std::string_view trimmed = text;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
    std::int32_t value = unknownValue;
    const int count = entryCount();
    for (int i = 0; i < count; ++i) {
        const LMEnumType* e = list->getEntry(i);
        if (e != nullptr && e->getKey() == trimmed) value = e->value.load();
    }
    const std::string key = cut(text, maxTextChars);
    std::string label = cut(text, 240) + " (not detected)";
    std::lock_guard lock(textMutex);
    keyText_ = key;
    labelText_ = cut(label, maxTextChars);
    return value;
}

std::optional<std::int32_t> PEnum::valueOfKey(std::string_view key) const {
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    std::optional<std::int32_t> value;
    const int count = entryCount();
    for (int i = 0; i < count; ++i) {
        const LMEnumType* e = list->getEntry(i);
        if (e != nullptr && e->getKey() == key) value = e->value.load();
    }
    return value;
}

std::string PEnum::formatValue(int, const std::int32_t& v) const {
    const int count = entryCount();
    if (count == 0 || v == unknownValue) return labelText();
    for (int i = 0; i < count; ++i) {
        const LMEnumType* e = list->getEntry(i);
        if (e != nullptr && e->value.load() == v) return e->selectable.load() ? e->getLabel() : std::string{};
    }
    return labelText();
}

int PEnum::indexOfCurrent() const {
    const int count = entryCount();
    const std::int32_t v = current();
    if (unknownState.load() || v == unknownValue) return count;
    for (int i = 0; i < count; ++i) {
        const LMEnumType* e = list->getEntry(i);
        if (e != nullptr && e->value.load() == v) return i;
    }
    return count;
}

std::string PEnum::saveText(int) const {
    const int index = indexOfCurrent();
    if (!checkIndex(entryCount(), index)) return cut(list->getEntry(index)->getKey(), 255);
    return cut(keyText(), 255);
}

std::string PEnum::displayText() const {
    const int index = indexOfCurrent();
    if (!checkIndex(entryCount(), index)) return list->getEntry(index)->getLabel();
    return "---";
}

float PEnum::sliderPosition(int) const {
    return sliderScale == 0 ? 0.0f : static_cast<float>(current()) / static_cast<float>(sliderScale);
}

std::int32_t PEnum::valueFromSliderPosition(int, float p) const {
    const double x = static_cast<double>(p) * sliderScale + (p >= 0.0f ? 0.125 : -0.125);
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return 2147483647;
    if (x <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(x);
}

bool PEnum::isPersistentInView(int view) const {
    return isPersistent() && (view < 0 || isVisible(view)) && (entryCount() > 0 || unknownOption);
}

void PEnum::markContentChanged(int view) {
    const std::uint32_t bits = viewGroupBits(view);
    contentChanged.raise(bits);
    valueChanged.raise(bits);
    markChanged();
}

void PEnum::retranslate() {
    Param::retranslate();
    bool changed = false;
    const int count = entryCount();
    for (int i = 0; i < count; ++i) {
        if (LMEnumType* e = list->getEntry(i)) changed |= e->retranslate(owner().translations(), isTranslatable());
    }
    if (changed) markContentChanged(allViews);
}

void PEnum::exportTexts(TextExport& out) const {
    if (!isTranslatable()) return;
    Param::exportTexts(out);
    const int count = entryCount();
    for (int i = 0; i < count; ++i) {
        if (const LMEnumType* e = list->getEntry(i)) e->exportTexts(out);
    }
}

bool PEnum::readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext&) {
    if (values.count() <= 0) return false;
    const auto v = values.number32(1);
    if (!v) return false;
    // Only what the client was offered: a selectable entry, or the unknown entry while it is shown.
    bool listed = unknownState.load() && *v == unknownValue;
    const int count = entryCount();
    for (int i = 0; i < count && !listed; ++i) {
        const LMEnumType* e = list->getEntry(i);
        listed = e != nullptr && e->value.load() == *v && e->selectable.load();
    }
    if (!listed) {
        values.noteProblem("enumeration value not in the list");
        return false;
    }
    return applyFromUser(request.clientView, *v);
}

void PEnum::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    const bool sendValue = valueToSend(*this, widget);
    out.flag(sendValue);
    if (sendValue) out.number32(current());
    const bool listChanged = contentChanged.take(widget.effectiveView);
    if (!(listChanged || widget.force || widget.expand)) return;
    const int count = entryCount();
    const bool unknown = unknownState.load();
    out.word(static_cast<std::uint32_t>(count + (unknown ? 1 : 0)));
    for (int i = 0; i < count; ++i) {
        const LMEnumType* e = list->getEntry(i);
        out.number32(e->value.load());
        out.word(static_cast<std::uint32_t>(e->level.load()));
        out.flag(e->selectable.load());
        out.text(e->getLabel(), static_cast<std::size_t>(e->getLabelLength()));
    }
    if (unknown) {
        out.number32(unknownValue);
        out.word(0xffffu);
        out.flag(true);
        out.text(labelText(), maxTextChars);
    }
}

}  // namespace kestrava::params
