#include "params/PSubLevel.h"

namespace kestrava::params {

PSubLevel::PSubLevel(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int level,
                     std::optional<std::string> name, const NamePair& section, std::string_view title)
    : Param(owner, viewMask, id, 11, title), name_(std::move(name)), section_(section), level_(level) {}

void PSubLevel::updateViewFlags() {
    updateVisibility();
    updateEditRights(edit.inView, true);
}

bool PSubLevel::isEditable(int view) const {
    return isView(view) && (edit.inView.load() & (1u << view)) != 0;
}

void PSubLevel::markEditChanged(int view) {
    edit.changed.mark(view);
    markChanged();
}

}  // namespace kestrava::params
