#pragma once

#include <cstdint>

// Where status messages are shown once the parameter set exists: the error list of the web page.
// The display keeps its own entries (key, text cut to 256 characters, count; count 0 = free or
// dismissed) and its own locking.
class StatusDisplay {
public:
    static constexpr int entryTextSize = 256;

    virtual ~StatusDisplay() = default;
    // Shows a message: an entry with the same text (first 256 characters) counts up, else the
    // first free entry takes it. Empty texts are ignored; a full list drops the message.
    virtual void addError(const char* text, std::int32_t key) = 0;
    // Puts the message into the first entry (shown or dismissed) whose key is replaceKey: that
    // entry takes the key, the text and count 1. False when no entry has that key.
    virtual bool replaceError(std::int32_t replaceKey, std::int32_t key, const char* text) = 0;
};
