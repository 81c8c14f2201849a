#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrava::codec {

// The bit rates (kbit/s) that codec version 0 offers; its level tables exist for no others.
inline constexpr std::array<std::int32_t, 5> legacyBitRates{320, 340, 360, 384, 400};

// Empty when the coder of `version` codes `kbps` as given; otherwise why not, naming what it takes.
// Versions 1 and 2 take 320..576, version 3 takes 320..1000 (Plus: 160..1000); a rate outside
// would be clamped by the rate control, so it is refused instead.
std::string bitRateRefusal(std::int32_t version, std::int32_t kbps, bool plusMode);

}  // namespace kestrava::codec
