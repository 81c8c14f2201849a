#pragma once

#include <cmath>
#include <cstdint>

namespace kestrava::codec::frame {

// Float-to-byte conversions of the frame's level, history and phase fields. They truncate toward
// zero like a C++ conversion but saturate instead of invoking undefined behaviour: NaN and
// negative values give 0, values beyond the top give the top.
namespace frame_bytes {

template <class F>
inline std::uint32_t truncateUnsigned(F x, std::uint32_t top) {
    if (!(x > F(0))) return 0;  // also NaN
    if (x >= static_cast<F>(top)) return top;
    return static_cast<std::uint32_t>(x);
}

// An offset-binary history byte: 128 + 128 x, halves rounded up, within 0..255 (NaN gives 0).
template <class F>
inline std::uint8_t historyByte(F x) {
    return static_cast<std::uint8_t>(truncateUnsigned(F(128) * x + F(128.5), 255));
}

}  // namespace frame_bytes

}  // namespace kestrava::codec::frame
