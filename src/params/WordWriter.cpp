#include "params/WordWriter.h"

namespace kestrava::params {

void WordWriter::text(std::string_view chars, std::size_t maxChars) {
    std::size_t n = chars.find('\0');
    if (n == std::string_view::npos) n = chars.size();
    if (n > maxChars) n = maxChars;
    word(static_cast<std::uint32_t>(n));
    for (std::size_t k = 0; 2 * k < n; ++k) {
        const auto high = static_cast<unsigned char>(chars[2 * k]);
        const unsigned char low = (2 * k + 1 < n) ? static_cast<unsigned char>(chars[2 * k + 1]) : 0;
        word((static_cast<std::uint32_t>(high) << 8) | low);
    }
}

void WordWriter::patch32(std::size_t at, std::uint32_t value) {
    if (at + 1 >= words.size()) return;
    words[at] = static_cast<std::uint16_t>(value & 0xffffu);
    words[at + 1] = static_cast<std::uint16_t>(value >> 16);
}

std::vector<std::uint8_t> WordWriter::bytes() const {
    std::vector<std::uint8_t> out;
    out.reserve(words.size() * 2);
    for (std::uint16_t w : words) {
        out.push_back(static_cast<std::uint8_t>(w & 0xffu));
        out.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return out;
}

}  // namespace kestrava::params
