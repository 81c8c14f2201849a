#pragma once

// The eight level classes of the single-precision generation: reconstruction magnitudes in units
// of the step. Indices up to the linear limit are their own level; above it each level is the one
// before times the class's growth ratio, the running product kept in double and each entry rounded
// once to float. A code's magnitude indexes these levels, so they are part of the stream.
#include <array>
#include <cstdint>

namespace streamdecoder {

struct FloatLevelClass {
    std::array<float, 4096> levels{};
    std::uint32_t count = 0;        // 32 << k
    std::uint32_t bits = 0;         // 5 + k
    std::uint32_t linearLimit = 0;  // largest index whose level is the index itself
};

inline constexpr int floatLevelClassCount = 8;

// Built once, on first use.
const std::array<FloatLevelClass, floatLevelClassCount>& floatLevelClasses();

}  // namespace streamdecoder
