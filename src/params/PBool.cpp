#include "params/PBool.h"

#include <cstdlib>

namespace kestrava::params {

PBool::PBool(ParamOwner& owner, std::uint32_t viewMask, ParamId id, bool defaultValue, int mode,
             const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name)
    : ValueParam<bool>(owner, viewMask, id, 0, name, shortKey, section, key), boolMode(mode) {
    storeDefaultEverywhere(defaultValue);
    if (mode == 2) {
        setPersistent(false);
        edit.editable.store(false);
    }
}

int PBool::widgetType() const {
    switch (boolMode) {
        case 0: return BOOL_CHECK;
        case 1: return BOOL_SWITCH;
        case 2: return BOOL_STATUS;
        default: return widgetTypeOfKind(kind());
    }
}

bool PBool::readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext&) {
    if (values.count() <= 0) return false;
    return applyFromUser(request.clientView, *values.at(1) != 0);
}

void PBool::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    const bool changed = valueChanged.take(widget.effectiveView);
    if (changed || widget.force || widget.expand) out.flag(current());
}

void PBool::writeWireValue(WordWriter& out) { out.flag(false); }

std::string PBool::saveText(int) const { return current() ? "1" : "0"; }
std::string PBool::displayText() const { return current() ? "YES" : "NO"; }
float PBool::sliderPosition(int) const { return current() ? 1.0f : 0.0f; }
std::string PBool::formatValue(int, const bool& v) const { return v ? "YES" : "NO"; }
bool PBool::parseText(int, std::string_view text) const {
    const std::string copy(text);
    return std::strtoll(copy.c_str(), nullptr, 10) != 0;
}
bool PBool::valueFromSliderPosition(int, float position) const { return position >= 0.5f; }

}  // namespace kestrava::params
