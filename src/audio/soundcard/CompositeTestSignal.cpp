#include "audio/soundcard/CompositeTestSignal.h"

#include <cmath>
#include <numbers>

int CompositeTestSignal::nextRdsLevel() {
    const unsigned bit = ((lfsr >> 14) ^ (lfsr >> 13)) & 1u;
    lfsr = ((lfsr << 1) | bit) & 0x7FFFu;
    level ^= static_cast<int>(bit);
    return level;
}

void CompositeTestSignal::generate(float* out, std::size_t count) {
    constexpr double twoPi = 2.0 * std::numbers::pi;
    constexpr double rdsBitRate = 1187.5;
    if (!started) {
        symbol = nextRdsLevel() != 0 ? 1 : -1;
        started = true;
    }
    for (std::size_t i = 0; i < count; ++i, ++sampleIndex) {
        const double t = static_cast<double>(sampleIndex) / rate;
        const double theta = twoPi * 19000.0 * t;
        const double left = 0.5 * std::sin(twoPi * 1000.0 * t);
        const double right = 0.3 * std::sin(twoPi * 400.0 * t);
        const double bitPosition = t * rdsBitRate;
        const auto bitNow = static_cast<std::uint64_t>(bitPosition);
        while (bitIndex < bitNow) {
            symbol = nextRdsLevel() != 0 ? 1 : -1;
            ++bitIndex;
        }
        const double rds = symbol * std::sin(twoPi * (bitPosition - static_cast<double>(bitNow)));
        const double composite = 0.45 * (left + right) + 0.45 * (left - right) * std::sin(2.0 * theta) +
                                 0.09 * std::sin(theta) + 0.04 * rds * std::sin(3.0 * theta);
        out[i] = static_cast<float>(composite);
    }
}
