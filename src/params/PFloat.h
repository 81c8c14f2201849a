#pragma once

#include "params/ParamSlider.h"
#include "params/ParamTextfield.h"
#include "params/ValueParam.h"

#include <optional>

namespace kestrava::params {

// A single-precision setting shown as a slider with a text field: a time, a delay, an offset, a
// gain. The decimals code gives the number of decimals, plus 0x10000000 for display rounding to
// halves, 0x11000000 for coarse rounding or 0x12000000 for about three significant digits. The
// slider may follow a curve (exponent above 1 gives the low end more travel). A special value
// below or above the range, with its label, is in force while the label is set.
class PFloat : public ValueParam<float>, public ParamSlider, public ParamTextfield {
public:
    static constexpr std::int32_t halvesCode = 0x10000000;
    static constexpr std::int32_t coarseCode = 0x11000000;
    static constexpr std::int32_t significantCode = 0x12000000;

    PFloat(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, float minimum, float maximum,
           float sliderFullScale, float defaultValue, std::int32_t decimalsCode, float curveExponent,
           const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
           std::string_view format, float displayFactor);

    float minimum() const noexcept { return minimum_.load(); }
    float maximum() const noexcept { return maximum_.load(); }
    float effectiveMinimum() const noexcept { return effMin.load(); }
    float effectiveMaximum() const noexcept { return effMax.load(); }
    int decimals() const noexcept { return decimals_; }

    virtual void setMin(float v);
    virtual void setMax(float v);
    // A label of nothing takes the special value out of force (value and threshold are kept).
    virtual void setLowSpecial(float v, std::optional<std::string> label);
    virtual void setHighSpecial(float v, std::optional<std::string> label);
    virtual float valueToPosition(float v) const;
    virtual float positionToValue(float x) const;

    // slider
    float getPosition(int kind) const override { return valueToPosition(getValue(kind)); }
    float getStepBase() const override;
    bool setFromPosition(float position) override;
    void getSteps(int& normal, int& drag, int& fast) const override;
    // text field
    int getMaxLen() const override { return textMaxLen.load(); }
    int getFieldLength() const override { return fieldLength.load(); }
    bool setFromTypedText(std::string_view text, bool raw) override;
    void writeTextFieldDescriptor(WordWriter& out) const override;
    std::string getFieldText(int view) const override;
    // value
    bool setValue(float v) override;
    bool isInRange(const float& v) const override;
    bool valuesEqual(const float& a, const float& b) const override { return a == b; }
    std::string formatValue(int view, const float& v) const override;
    float parseText(int index, std::string_view text) const override;
    float valueFromSliderPosition(int view, float position) const override;
    bool isKindSupported() const override { return kind() >= 1 && kind() <= 5; }
    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override;
    void updateTextWidth() override;
    void retranslate() override;
    void exportTexts(TextExport& out) const override;
    std::string saveText(int index) const override;
    std::string displayText() const override;
    float sliderPosition(int view) const override;

protected:
    // The conversion the entry field uses: from the first "%" to the first "f" or "s" (as "f").
    std::string fieldConversion() const;
    // The display text's clean-up rules.
    static void cleanDollar(std::string& text);
    static void cleanSigns(std::string& text);
    static void cleanUnitFactor(std::string& text);
    // The label text of v when a special value in force covers it.
    std::optional<std::string> labelFor(float v) const;
    std::optional<std::string> lowLabel() const;
    std::optional<std::string> highLabel() const;
    // The first part of setValue: snapping to the special values.
    float snapped(float v) const;

    std::atomic<float> minimum_;
    std::atomic<float> maximum_;
    std::atomic<float> effMin;
    std::atomic<float> effMax;
    const float sliderFullScale;
    const float curveExponent;
    const float displayFactor;
    bool roundSignificant = false;
    bool roundCoarse = false;
    bool roundHalves = false;
    int decimals_ = 0;
    float decimalScale = 1.0f;
    std::atomic<int> textMaxLen{-1};
    std::atomic<int> fieldLength{-1};
    std::atomic<float> lowSpecial;
    std::atomic<float> highSpecial;
    std::atomic<float> lowThreshold;
    std::atomic<float> highThreshold;

private:
    std::optional<std::string> lowLabel_;   // under textMutex
    std::optional<std::string> highLabel_;  // under textMutex
};

}  // namespace kestrava::params
