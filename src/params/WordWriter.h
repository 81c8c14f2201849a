#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrava::params {

// The "/update" reply: 16-bit words, sent low byte first. Numbers of 32 bits take two words, low
// word first; a text is a length word and then two characters per word, the first in the high
// byte. The buffer grows as needed, so no writer can run past its end.
class WordWriter {
public:
    void word(std::uint32_t value) { words.push_back(static_cast<std::uint16_t>(value & 0xffffu)); }
    void flag(bool on) { word(on ? 1u : 0u); }
    void number32(std::int64_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        word(bits & 0xffffu);
        word(bits >> 16);
    }
    // At most `maxChars` characters, and none after a zero byte.
    void text(std::string_view chars, std::size_t maxChars);

    // Overwrites a 32-bit number written earlier at word index `at` (a header's count).
    void patch32(std::size_t at, std::uint32_t value);

    std::size_t size() const noexcept { return words.size(); }
    const std::vector<std::uint16_t>& data() const noexcept { return words; }
    void clear() noexcept { words.clear(); }
    // The bytes as they go on the connection.
    std::vector<std::uint8_t> bytes() const;

private:
    std::vector<std::uint16_t> words;
};

}  // namespace kestrava::params
