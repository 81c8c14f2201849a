#pragma once

#include "logging/StatusDisplay.h"

#include <array>
#include <cstring>
#include <string>

// The error list of the web page as the status ring sees it: 64 entries of key, text and count.
class FakeStatusDisplay : public StatusDisplay {
public:
    struct Entry {
        std::int32_t key = 0;
        std::string text;
        std::int32_t count = 0;
    };

    void addError(const char* text, std::int32_t key) override {
        if (text[0] == '\0') return;
        const std::string cut(text, strnlen(text, entryTextSize));
        for (Entry& e : entries) {
            if (e.text == cut && !e.text.empty()) {
                ++e.count;
                return;
            }
        }
        for (Entry& e : entries) {
            if (e.count == 0) {
                e = Entry{key, cut, 1};
                return;
            }
        }
    }
    bool replaceError(std::int32_t replaceKey, std::int32_t key, const char* text) override {
        for (Entry& e : entries) {
            if (e.key == replaceKey && (e.count != 0 || !e.text.empty())) {
                e = Entry{key, std::string(text, strnlen(text, entryTextSize)), 1};
                return true;
            }
        }
        return false;
    }
    int used() const {
        int n = 0;
        for (const Entry& e : entries) n += e.count != 0;
        return n;
    }

    std::array<Entry, 64> entries;
};
