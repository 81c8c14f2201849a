#include "web/UpdateBody.h"
#include "web/RequestExcerpt.h"

#include <cstdio>

namespace kestrava::web {

namespace {

// The value of a digit in the current mode, or -1 when the character is none.
int digitValue(char c, bool hexadecimal) {
    if (c >= '0' && c <= '9') return c - '0';
    if (hexadecimal && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

UpdateBody::Result UpdateBody::read(std::string_view body, const GroupHandler& onGroup) {
    Result result;
    numbers.fill(0);
    int index = 0;
    bool hexadecimal = true;
    bool negative = false;
    for (std::size_t i = 0; i < body.size() && body[i] != '\0'; ++i) {
        const char c = body[i];
        const int digit = digitValue(c, hexadecimal);
        if (c == '-') {
            negative = true;
        } else if (digit >= 0) {
            const std::uint32_t base = hexadecimal ? 16u : 10u;
            std::uint32_t& n = numbers[static_cast<std::size_t>(index)];
            n = negative ? n * base - static_cast<std::uint32_t>(digit) : n * base + static_cast<std::uint32_t>(digit);
        } else if (c == ',' && index + 1 < maxNumbers) {
            ++index;
            numbers[static_cast<std::size_t>(index)] = 0;
            hexadecimal = false;
            negative = false;
        } else if (c == '/') {
            ++result.groups;
            const auto* values = reinterpret_cast<const std::int32_t*>(numbers.data());
            onGroup(std::span<const std::int32_t>(values, static_cast<std::size_t>(index) + 1));
            numbers[0] = 0;
            index = 0;
            hexadecimal = true;
            negative = false;
        } else {
            if (result.badCharacters == 0) result.firstBad = i;
            ++result.badCharacters;
        }
    }
    return result;
}

std::string_view UpdateBody::bodyOf(std::string_view path) {
    constexpr std::size_t prefix = 7;  // "/update"
    if (path.size() <= prefix) return {};
    const std::size_t slash = path.find('/', prefix);
    return slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
}

std::string UpdateBody::diagnostic(std::string_view body, const Result& result) {
    std::string line = "Bad character in string - ";
    const std::string_view rest = result.firstBad < body.size() ? body.substr(result.firstBad) : std::string_view{};
    appendRequestExcerpt(line, rest);
    if (result.badCharacters > 1) line += " (" + std::to_string(result.badCharacters) + " bad characters)";
    return line;
}

}  // namespace kestrava::web
