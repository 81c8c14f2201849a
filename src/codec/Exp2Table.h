#pragma once

namespace kestrava::codec {

// 2^(i/64) for i = 0..65, the interpolation table of rate control's power of two. Entry 64 is 2.0,
// entry 65 a guard; lookups read entries j and j + 1 with j = 0..63.
inline constexpr int exp2TableSize = 66;

extern const double exp2TableDouble[exp2TableSize];
extern const float exp2TableFloat[exp2TableSize];

}  // namespace kestrava::codec
