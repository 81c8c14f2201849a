#pragma once

#include "params/ValueParam.h"

namespace kestrava::params {

// An on/off setting: a check box (mode 0), a switch (1) or a read-only status lamp (2, neither
// saved nor editable). Other modes give the widget type of kind 0.
class PBool : public ValueParam<bool> {
public:
    PBool(ParamOwner& owner, std::uint32_t viewMask, ParamId id, bool defaultValue, int mode,
          const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name);

    int mode() const noexcept { return boolMode; }
    int widgetType() const override;

    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override;

    std::string saveText(int index) const override;
    std::string displayText() const override;
    float sliderPosition(int view) const override;
    std::string formatValue(int view, const bool& v) const override;
    bool parseText(int index, std::string_view text) const override;
    bool valueFromSliderPosition(int view, float position) const override;
    bool isKindSupported() const override { return kind() == 0; }

private:
    const int boolMode;
};

}  // namespace kestrava::params
