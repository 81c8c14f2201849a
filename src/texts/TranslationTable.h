#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrava::texts {

// Which parts of a text become numbered placeholders ("{0}", "{1}", ...) in its translation key:
// runs of decimal digits for names, labels and free texts, printf conversions (%d, %.2f …) for
// value formats. Any other value gives an empty key (and so no translation).
enum class TranslationKeyMode : int {
    Numbers = 0,
    Format = 1,
};

// Translation key -> translated text, both byte strings compared byte for byte. An entry with
// an empty translated text counts as no translation. Entries are never removed. Not locked:
// one thread at a time (the one that exports and refreshes the texts).
class TranslationTable {
public:
    // The translated text of a key, or null when the key has no entry.
    const std::string* find(std::string_view key) const;
    // The entry of a key, added with an empty translated text when it is missing; an existing
    // entry is left as it is.
    std::string& emplace(std::string_view key);
    std::size_t size() const { return entries.size(); }

private:
    std::unordered_map<std::string, std::string> entries;
};

// The key of a text; the parts taken out are appended to arguments, and placeholder N names
// argument N of the list as it stood when the placeholder was made (callers start with an
// empty list, so placeholders run 0, 1, 2, ...). In Numbers mode a NUL byte ends the text; in
// Format mode NUL bytes are ordinary bytes of the key.
std::string makeTranslationKey(std::string_view text, TranslationKeyMode mode, std::vector<std::string>& arguments);

// Puts argument k in place of the first "{k}" of the text, for k = 0, 1, ... in that order;
// later occurrences and placeholders without an argument stay as they are.
void substituteArguments(std::string& text, const std::vector<std::string>& arguments);

// Fills a display buffer of bufferSize bytes with the translation of text (when enabled and the
// table holds a non-empty translation of its key) or with text itself. A copy takes at most
// bufferSize - 1 bytes and NUL-fills the rest of the buffer. Returns true when it applied a
// translation or changed the buffer, false when the buffer already held the untranslated text
// (compared over at most bufferSize bytes). A buffer of no bytes is left alone (false).
bool translateText(const TranslationTable& table, char* buffer, int bufferSize, const char* text,
                   TranslationKeyMode mode, bool enabled);

}  // namespace kestrava::texts
