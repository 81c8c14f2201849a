#include "params/PCorvixKoekError.h"

namespace kestrava::params {

namespace {
std::string_view cut(std::string_view t) { return t.substr(0, std::min(t.size(), PCorvixKoekError::maxTextChars)); }
}  // namespace

PCorvixKoekError::PCorvixKoekError(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::string_view name)
    : Param(owner, viewMask, id, 40, name) {}

void PCorvixKoekError::changed(Slot& s) {
    s.pendingViews = allViewBits;
    valueChanged.raiseAll();
    markChanged();
}

void PCorvixKoekError::addError(const char* text, std::int32_t key) {
    if (text != nullptr) addError(std::string_view(text), key);
}

void PCorvixKoekError::addError(std::string_view text, std::int32_t key) {
    if (text.empty()) return;
    const std::string_view t = cut(text);
    std::lock_guard lock(mutex);
    for (Slot& s : slots) {
        if (s.entry.text == t) {
            if (s.entry.count < INT32_MAX) ++s.entry.count;
            changed(s);
            return;
        }
    }
    for (Slot& s : slots) {
        if (s.entry.count == 0) {
            s.entry = Entry{key, std::string(t), 1};
            changed(s);
            return;
        }
    }
}

bool PCorvixKoekError::replaceError(std::int32_t replaceKey, std::int32_t key, const char* text) {
    if (text == nullptr || *text == '\0') return true;
    std::lock_guard lock(mutex);
    for (Slot& s : slots) {
        if (s.entry.key == replaceKey) {
            s.entry = Entry{key, std::string(cut(text)), 1};
            changed(s);
            return true;
        }
    }
    return false;
}

void PCorvixKoekError::replaceError(std::int32_t key, std::string_view text) {
    if (text.empty()) return;
    const std::string copy(text);
    if (!replaceError(key, key, copy.c_str())) addError(std::string_view(copy), key);
}

bool PCorvixKoekError::dismissError(std::int32_t index) {
    if (index < -1 || index >= entryCount) return false;
    std::lock_guard lock(mutex);
    bool any = false;
    for (int i = 0; i < entryCount; ++i) {
        if (index != -1 && i != index) continue;
        Slot& s = slots[static_cast<std::size_t>(i)];
        if (s.entry.count == 0) continue;
        s.entry.count = 0;
        changed(s);
        any = true;
    }
    return any;
}

std::vector<PCorvixKoekError::Entry> PCorvixKoekError::entries() const {
    std::lock_guard lock(mutex);
    std::vector<Entry> out;
    for (const Slot& s : slots) out.push_back(s.entry);
    return out;
}

bool PCorvixKoekError::readWireInput(const RequestContext&, const RequestValues& values, WidgetContext&) {
    bool any = false;
    for (int i = 1; i <= values.count(); ++i) {
        const std::int32_t index = *values.at(i);
        if (index < -1 || index >= entryCount) {
            values.noteProblem("error list index out of range");
            continue;
        }
        any |= dismissError(index);
    }
    return any;
}

void PCorvixKoekError::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    const int view = widget.effectiveView;
    valueChanged.take(view);
    const bool all = widget.force || widget.expand;
    const std::uint32_t bit = isView(view) ? 1u << view : 0u;
    std::lock_guard lock(mutex);
    for (int i = 0; i < entryCount; ++i) {
        Slot& s = slots[static_cast<std::size_t>(i)];
        const bool pending = (s.pendingViews & bit) != 0;
        s.pendingViews &= ~bit;
        if (!all && !pending) continue;
        out.number32(i);
        out.number32(s.entry.count);
        if (s.entry.count > 0) out.text(s.entry.text, maxTextChars);
    }
}

}  // namespace kestrava::params
