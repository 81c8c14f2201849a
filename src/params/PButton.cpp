#include "params/PButton.h"

namespace kestrava::params {

PButton::PButton(ParamOwner& owner, std::uint32_t viewMask, ParamId id, const ButtonFunction* bound,
                 std::string_view name)
    : Param(owner, viewMask, id, 26, name), action(bound) {}

void PButton::updateViewFlags() {
    updateVisibility();
    updateEditRights(edit.inView, edit.editable.load());
}

bool PButton::readWireInput(const RequestContext&, const RequestValues& values, WidgetContext& widget) {
    if (values.count() <= 0) return false;
    press(widget.effectiveView);
    return true;
}

void PButton::setEditable(bool on) {
    if (edit.editable.exchange(on) != on) markEditChanged(anyView);
}

void PButton::markEditChanged(int view) {
    edit.changed.mark(view);
    markChanged();
}

void PButton::press(int view) {
    if (!isEnabled() || !isEditable(view) || action == nullptr) return;
    action->invoke(view);
}

}  // namespace kestrava::params
