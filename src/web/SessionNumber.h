#pragma once

#include <cstdint>
#include <string_view>

namespace kestrava::web {

// The session number that a client puts right after "/update", "/json" or "/objects.js?": white
// space skipped, an optional sign, decimal digits up to the first other character. No digits give
// 0; a number beyond the int32 range is clamped to it. Every route reads session numbers this way.
std::int32_t parseSessionNumber(std::string_view text) noexcept;

}  // namespace kestrava::web
