#pragma once

#include "params/ParamSlider.h"
#include "params/ParamTextfield.h"
#include "params/ValueParam.h"

namespace kestrava::params {

// A whole-number setting (signed 64-bit) with a minimum and a maximum, shown as a slider with an
// entry field (kind 6), or as a plain number field (7 hex, 8 decimal). The display format holds
// one integer conversion ("%d packets"). A display offset (the companion value) is added wherever
// the value is shown and subtracted from typed numbers.
class PInt : public ValueParam<std::int64_t>, public ParamSlider, public ParamTextfield {
public:
    PInt(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::int64_t minimum,
         std::int64_t maximum, std::int64_t sliderFullScale, std::int64_t defaultValue, const ShortKey& shortKey,
         const NamePair& section, const NamePair& key, std::string_view name, std::string_view format);

    std::int64_t minimum() const noexcept { return minimum_; }
    std::int64_t maximum() const noexcept { return maximum_; }
    std::int64_t displayOffset() const noexcept { return displayOffset_.load(); }
    void setCompanionValue(std::int64_t offset);

    // slider
    float getPosition(int kind) const override;
    float getStepBase() const override;
    bool setFromPosition(float position) override;
    // text field
    int getMaxLen() const override { return textMaxLen.load(); }
    int getFieldLength() const override { return fieldLength.load(); }
    bool setFromTypedText(std::string_view text, bool raw) override;
    void writeTextFieldDescriptor(WordWriter& out) const override;
    std::string getFieldText(int view) const override;
    // value
    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override;
    void updateTextWidth() override;
    void retranslate() override;
    void exportTexts(TextExport& out) const override;
    std::string saveText(int index) const override;
    std::string displayText() const override;
    float sliderPosition(int view) const override;
    std::string formatValue(int view, const std::int64_t& v) const override;
    bool isKindSupported() const override;
    std::int64_t parseText(int index, std::string_view text) const override;
    std::int64_t valueFromSliderPosition(int view, float position) const override;
    bool isInRange(const std::int64_t& v) const override { return v >= minimum_ && v <= maximum_; }

protected:
    PInt(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::int64_t minimum,
         std::int64_t maximum, std::int64_t sliderFullScale, std::int64_t defaultValue, int fieldWidth,
         const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
         std::string_view format);
    // The conversion of the format that the entry field shows (from "%" to the first d or i).
    std::string fieldConversion() const;

    const std::int64_t minimum_;
    const std::int64_t maximum_;
    const std::int64_t sliderFullScale;
    std::atomic<std::int64_t> displayOffset_{0};
    const int fieldWidth;
    std::atomic<int> textMaxLen{-1};
    std::atomic<int> fieldLength{-1};
};

// A decimal number field of a fixed number of digits, range 0 to 10^digits - 1 (network ports).
// Typed text: the first run of digits counts, wherever it stands.
class PDec : public PInt {
public:
    PDec(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int digits, std::int32_t defaultValue,
         const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
         std::string_view format);

    bool setFromTypedText(std::string_view text, bool raw) override;
    std::string getFieldText(int view) const override;
    std::string displayText() const override;
    bool isKindSupported() const override { return kind() == 8; }
};

}  // namespace kestrava::params
