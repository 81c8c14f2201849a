#pragma once

// The reconstruction levels of version 0, in units of the step, rebuilt from the bit rate of every
// reset packet: the integers 0..n, then a geometric run with ratio 1 + 1/n up to 65536, where
// n = 2^round((rate - 64) / 64). All three channels share the one table.
#include <array>
#include <cstddef>
#include <cstdint>

namespace streamdecoder {

class LegacyLevelTable {
public:
    static constexpr std::size_t capacity = 4096;

    void build(std::uint16_t bitRate);
    // Levels are valid below count(): 0 before the first build.
    std::size_t count() const { return count_; }
    double operator[](std::size_t index) const { return levels_[index]; }

private:
    std::array<double, capacity> levels_{};
    std::size_t count_ = 0;
};

// The divisor of the main channels' step at a bit rate: 2^round((rate - 64) / 64), formed as the
// coder forms it (1 below 64 kbit/s).
double legacyStepDivisor(std::uint32_t bitRate);

}  // namespace streamdecoder
