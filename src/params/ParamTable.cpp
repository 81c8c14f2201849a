#include "params/ParamTable.h"

#include "params/Param.h"

#include <cstdio>

namespace kestrava::params {

ParamTable::ParamTable() : byId(static_cast<std::size_t>(ID_IDCOUNT)) {
    for (auto& w : viewWords) w.store(0xffffffffu);
    for (auto& w : editWords) w.store(0xffffffffu);
}

std::uint32_t ParamTable::viewRights(int view) const {
    return isView(view) ? viewWords[static_cast<std::size_t>(view)].load() : 0u;
}

std::uint32_t ParamTable::editRights(int view) const {
    return isView(view) ? editWords[static_cast<std::size_t>(view)].load() : 0u;
}

void ParamTable::setRights(int view, std::uint32_t viewWord, std::uint32_t editWord) {
    if (!isView(view)) return;
    viewWords[static_cast<std::size_t>(view)].store(viewWord);
    editWords[static_cast<std::size_t>(view)].store(editWord);
}

Param* ParamTable::findParam(ParamId id) const {
    return isParamIdIndex(id) ? byId[static_cast<std::size_t>(id)].load() : nullptr;
}

void ParamTable::registerParam(Param& p) {
    if (!isParamIdIndex(p.id())) return;
    Param* expected = nullptr;
    byId[static_cast<std::size_t>(p.id())].compare_exchange_strong(expected, &p);
}

void ParamTable::userChanged() {
    userChanges.fetch_add(1);
    if (onUserChange) onUserChange();
}

void ParamTable::warning(std::string_view text) {
    if (onWarning) {
        onWarning(text);
    } else {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
}

}  // namespace kestrava::params
