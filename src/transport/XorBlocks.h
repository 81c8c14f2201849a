#pragma once

#include <cstdint>

namespace kestrava::transport {

// out[i] = a[i] XOR b[i] for i = 0 .. length - 1. No alignment or length multiple is needed; a
// length of 0 or less writes nothing, and nothing beyond out[length - 1] is written. out may be
// the very same area as a or b (XOR in place); any other overlap is not allowed.
void xorBlocks(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int32_t length);

}  // namespace kestrava::transport
