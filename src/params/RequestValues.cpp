#include "params/RequestValues.h"

#include <bit>

namespace kestrava::params {

void RequestValues::noteProblem(std::string_view what) const {
    if (firstProblem.empty()) firstProblem.assign(what);
}

std::optional<std::int32_t> RequestValues::at(int index) const {
    if (!has(index)) {
        noteProblem("request group too short");
        return std::nullopt;
    }
    return values[static_cast<std::size_t>(index)];
}

std::optional<std::int32_t> RequestValues::number32(int index) const {
    const auto low = at(index);
    if (!low) return std::nullopt;
    const auto high = at(index + 1);
    if (!high) return std::nullopt;
    if (*low < 0 || *low > 0xffff || *high < 0 || *high > 0xffff) {
        noteProblem("32-bit number with a half outside 0..65535");
        return std::nullopt;
    }
    const std::uint32_t bits = static_cast<std::uint32_t>(*low) | (static_cast<std::uint32_t>(*high) << 16);
    return static_cast<std::int32_t>(bits);
}

std::optional<float> RequestValues::floatBits(int index) const {
    const auto v = at(index);
    if (!v) return std::nullopt;
    return std::bit_cast<float>(*v);
}

std::optional<std::string> RequestValues::text(int& position, int maxChars) const {
    if (!has(position)) {
        noteProblem("text length beyond the request group");
        return std::nullopt;
    }
    const std::int32_t length = values[static_cast<std::size_t>(position)];
    ++position;
    if (length <= 0) return std::string{};
    const int available = count() - position + 1;
    if (length > available) {
        noteProblem("text longer than the request group");
        position = count() + 1;
        return std::nullopt;
    }
    const int keep = maxChars < 0 ? 0 : (length < maxChars ? length : maxChars);
    std::string out;
    out.reserve(static_cast<std::size_t>(keep));
    bool bad = false;
    for (int k = 0; k < length; ++k) {
        const std::int32_t number = values[static_cast<std::size_t>(position + k)];
        const auto c = static_cast<unsigned char>(number & 0xff);
        if (number < 0 || number > 0xff) noteProblem("text character outside 0..255 taken as its low byte");
        if (c == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f) bad = true;
        if (k < keep) out.push_back(static_cast<char>(c));
    }
    position += length;
    if (bad) {
        noteProblem("text with a zero or control character");
        return std::nullopt;
    }
    return out;
}

}  // namespace kestrava::params
