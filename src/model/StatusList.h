#pragma once

#include "logging/StatusDisplay.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

// The status display of the web page: 64 entries of key, text (256 characters) and count
// (0: free or dismissed). A message equal to a shown or dismissed entry counts it up.
class StatusList : public StatusDisplay {
public:
    static constexpr int entryCount = 64;

    struct Entry {
        std::int32_t key = 0;
        std::string text;
        std::int32_t count = 0;
    };

    void addError(const char* text, std::int32_t key) override;
    bool replaceError(std::int32_t replaceKey, std::int32_t key, const char* text) override;
    std::array<Entry, entryCount> entries() const;

private:
    mutable std::mutex mutex;
    std::array<Entry, entryCount> list;
};
