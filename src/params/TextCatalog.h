#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrava::params {

// Texts that go through translation are of two modes: labels and names, and format texts.
enum class TextMode { label = 0, format = 1 };

// The translation table as the parameters see it (the table itself lives in a higher layer).
class TextCatalog {
public:
    virtual ~TextCatalog() = default;
    // The non-empty translation of a source text, or nothing.
    virtual std::optional<std::string> translate(std::string_view source, TextMode mode) const = 0;
};

// One text export for translators: the implementation writes each key once.
class TextExport {
public:
    virtual ~TextExport() = default;
    virtual void add(std::string_view source, TextMode mode) = 0;
};

// The text a buffer should hold: the translation when translatable and one exists, else the
// source; cut to `maxChars`. Returns whether `buffer` changed.
bool translateInto(std::string& buffer, std::size_t maxChars, const TextCatalog* catalog,
                   std::string_view source, TextMode mode, bool translatable);

}  // namespace kestrava::params
