#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrava::params {

// Conversions that never meet undefined behaviour: NaN gives 0, values beyond the range saturate.
std::int64_t truncToInt64(double x) noexcept;
std::int32_t truncToInt32(double x) noexcept;

// The leading decimal number of a text as the C library reads it (blanks and a sign allowed,
// reading stops at the first other character); 0 when there is none. Always in the "C" locale.
double leadingReal(std::string_view text) noexcept;
// As atoi, but saturated to int32.
std::int32_t leadingInt32(std::string_view text) noexcept;

// "%lld".
std::string decimalText(std::int64_t v);

}  // namespace kestrava::params
