#pragma once

// The reconstruction levels of the double-precision generation, in units of the step: eight
// classes, unit-spaced up to their linear limit and geometric above it, each level the one below
// it times the class's ratio, rounded once to double. Class k has 32 << k levels.
#include <array>
#include <cstdint>
#include <vector>

namespace streamdecoder {

struct DoubleLevelClass {
    std::vector<double> levels;
    std::uint32_t linearLimit = 0;
    std::uint32_t count() const { return static_cast<std::uint32_t>(levels.size()); }
};

// Built once, on first use; read-only afterwards.
const std::array<DoubleLevelClass, 8>& doubleLevelClasses();

}  // namespace streamdecoder
