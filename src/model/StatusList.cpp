#include "model/StatusList.h"

#include <cstring>

namespace {
std::string cut(const char* text) { return std::string(text, strnlen(text, StatusDisplay::entryTextSize)); }
}  // namespace

void StatusList::addError(const char* text, std::int32_t key) {
    if (text == nullptr || *text == '\0') return;
    const std::string t = cut(text);
    std::lock_guard lock(mutex);
    for (Entry& e : list) {
        if (!e.text.empty() && e.text == t) {
            ++e.count;
            return;
        }
    }
    for (Entry& e : list) {
        if (e.count == 0) {
            e = Entry{key, t, 1};
            return;
        }
    }
}

bool StatusList::replaceError(std::int32_t replaceKey, std::int32_t key, const char* text) {
    std::lock_guard lock(mutex);
    for (Entry& e : list) {
        if (e.key == replaceKey && !e.text.empty()) {
            e = Entry{key, cut(text), 1};
            return true;
        }
    }
    return false;
}

std::array<StatusList::Entry, StatusList::entryCount> StatusList::entries() const {
    std::lock_guard lock(mutex);
    return list;
}
