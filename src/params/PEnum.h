#pragma once

#include "params/LMEnumList.h"
#include "params/ValueParam.h"

#include <optional>

namespace kestrava::params {

// A setting whose value is one entry of an enumeration list. With the unknown-value option on, a
// value the list does not offer (a device named in the settings file but not present) is held as
// an extra unknown entry (value -9999) labelled with the saved key and " (not detected)". The
// entry list is resent to a view after it changed.
class PEnum : public ValueParam<std::int32_t> {
public:
    static constexpr std::int32_t unknownValue = -9999;
    static constexpr std::size_t maxTextChars = 256;

    // `list` is not owned and may be null (an empty list).
    PEnum(ParamOwner& owner, std::uint32_t viewMask, ParamId id, const LMEnumList* list, bool unknownOption,
          std::int32_t sliderScale, std::int32_t defaultValue, const ShortKey& shortKey, const NamePair& section,
          const NamePair& key, std::string_view name);

    bool setValue(std::int32_t v) override;
    std::string formatValue(int view, const std::int32_t& v) const override;
    std::int32_t parseText(int index, std::string_view text) const override;
    std::int32_t valueFromSliderPosition(int view, float position) const override;
    bool isKindSupported() const override { return kind() == 10; }

    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    bool takeContentChanged(int view) override { return contentChanged.take(view); }
    bool isContentChanged(int view) const override { return contentChanged.test(view); }
    void markContentChanged(int view) override;
    void retranslate() override;
    void exportTexts(TextExport& out) const override;
    bool isPersistentInView(int view) const override;
    std::string saveText(int index) const override;
    std::string displayText() const override;
    float sliderPosition(int view) const override;

    bool isUnknown() const noexcept { return unknownState.load(); }
    std::string keyText() const;
    // The value of the listed entry whose key is `key` (trailing blanks dropped; the last such
    // entry), without touching the unknown value's texts; none when no entry has that key.
    std::optional<std::int32_t> valueOfKey(std::string_view key) const;
    std::string labelText() const;
    // True when the index is not a list entry (with a diagnostic line when that is unexpected).
    bool checkIndex(int count, int index) const;

private:
    int entryCount() const { return list != nullptr ? list->getCount() : 0; }
    int indexOfCurrent() const;

    const bool unknownOption;
    const LMEnumList* const list;
    const std::int32_t sliderScale;
    mutable std::string keyText_;
    mutable std::string labelText_;
    std::atomic<bool> unknownState{false};
    ViewFlags contentChanged{allViewBits};
};

}  // namespace kestrava::params
