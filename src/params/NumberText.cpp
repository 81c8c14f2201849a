#include "params/NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace kestrava::params {

std::int64_t truncToInt64(double x) noexcept {
    if (std::isnan(x)) return 0;
    if (x >= 9223372036854775807.0) return INT64_MAX;
    if (x <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<std::int64_t>(x);
}

std::int32_t truncToInt32(double x) noexcept {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(x);
}

namespace {
locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}
}  // namespace

double leadingReal(std::string_view text) noexcept {
    std::string copy(text.substr(0, std::min<std::size_t>(text.size(), 4096)));
    return strtod_l(copy.c_str(), nullptr, cLocale());
}

std::int32_t leadingInt32(std::string_view text) noexcept {
    std::string copy(text.substr(0, std::min<std::size_t>(text.size(), 4096)));
    errno = 0;
    const long long v = std::strtoll(copy.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

std::string decimalText(std::int64_t v) { return std::to_string(v); }

}  // namespace kestrava::params
