#include "LegacyLevelTable.h"

#include <algorithm>
#include <cmath>

namespace streamdecoder {

void LegacyLevelTable::build(std::uint16_t bitRate) {
    // (rate - 64) / 64 rounded half up; never below 0 for an unsigned rate.
    const int k = static_cast<int>(std::trunc((static_cast<double>(bitRate) - 64.0) / 64.0 + 0.5));
    const double n = std::ldexp(1.0, k);
    // Rates from 672 kbit/s on (never sent: the settings offer 320 to 400) would need more levels
    // than the table holds; the ladder then stops at its capacity, beyond which no code reaches.
    count_ = 0;
    double level = 0.0;
    while (level <= 65536.0 && count_ < capacity) {
        levels_[count_++] = level;
        level = level < n ? level + 1.0 : level + std::max(std::sqrt(0.1 * level * level + 0.9 * n * n), level) / n;
    }
}

double legacyStepDivisor(std::uint32_t bitRate) {
    const std::uint32_t d = bitRate - 64u;  // wraps below 64 kbit/s, giving 2^26 and so a divisor of 1
    const double scaled = static_cast<double>(static_cast<float>(d)) * 0.015625 + 0.5;
    const auto e = static_cast<std::uint32_t>(scaled);  // below 2^27 for any 32-bit d
    return std::ldexp(1.0, static_cast<int>(e % 32));
}

}  // namespace streamdecoder
