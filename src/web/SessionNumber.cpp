#include "web/SessionNumber.h"

#include <limits>

namespace kestrava::web {

std::int32_t parseSessionNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulated with its sign, stopping at the bound: no overflow whatever the length.
    constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        value = negative ? value * 10 - digit : value * 10 + digit;
        if (value < low) value = low;
        if (value > high) value = high;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace kestrava::web
