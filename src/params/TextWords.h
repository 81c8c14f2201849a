#pragma once

#include "params/Param.h"
#include "params/ParamTextfield.h"

namespace kestrava::params {

inline constexpr std::size_t maxValueTextChars = 8192;

// The value-sending rule: take and clear the effective view's value-changed flag; the value goes
// out when it was set or the widget is forced or expanded.
inline bool valueToSend(Param& p, const WidgetContext& widget) {
    const bool changed = p.valueChanged.take(widget.effectiveView);
    return changed || widget.force || widget.expand;
}

// The state of a text widget: value_text (the field's shown text) and value_text_editable.
inline void writeTextState(Param& p, const ParamTextfield& field, WidgetContext& widget, WordWriter& out,
                           const std::string& editable) {
    if (!valueToSend(p, widget)) return;
    out.text(field.getText(widget.effectiveView), maxValueTextChars);
    out.text(editable, maxValueTextChars);
}

}  // namespace kestrava::params
