#include "codec/LegacyQuantizer.h"

#include <cmath>

namespace kestrava::codec {

double legacyLevelScale(std::uint32_t rateKbps) {
    const std::uint32_t difference = rateKbps - 64u;
    const double scaled = static_cast<double>(static_cast<float>(difference)) * 0.015625 + 0.5;
    // Below 64 kbit/s the difference wraps to ~2^32; its exponent is taken modulo 32 as the stream's
    // other readers do, so the conversion below never leaves the integer range.
    const std::uint32_t e = static_cast<std::uint32_t>(scaled) % 32u;
    return std::ldexp(1.0, static_cast<int>(e));
}

template <int N>
std::uint32_t LegacyQuantizer<N>::buildLevels(std::uint32_t rateKbps) {
    const double scale = legacyLevelScale(rateKbps);
    const auto c = static_cast<std::uint32_t>(scale);
    const double s = static_cast<double>(c);
    const double t = static_cast<double>(c * c) * 0.9;
    double level = 0.0;
    std::uint32_t count = 0;
    do {
        levels[count++] = level;
        double g = std::sqrt((level * level) * 0.1 + t);
        if (g <= level) g = level;
        if (level < s) g = s;
        level = g / s + level;
    } while (level <= 65536.0 && count < capacity);
    return count;
}

template struct LegacyQuantizer<1>;

}  // namespace kestrava::codec
