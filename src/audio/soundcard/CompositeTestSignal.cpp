#include "audio/soundcard/CompositeTestSignal.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <numbers>

namespace kestrava::audio::soundcard {

int CompositeTestSignal::nextRdsLevel() {
    const unsigned bit = ((lfsr >> 14) ^ (lfsr >> 13)) & 1u;
    lfsr = ((lfsr << 1) | bit) & 0x7FFFu;
    level ^= static_cast<int>(bit);
    return level;
}

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;
constexpr double rdsBitRate = 1187.5;

// The stereo tones at full level (sum, and difference on the 38 kHz subcarrier) at time t.
double tonesAt(double t, double theta) {
    const double left = std::sin(twoPi * 1000.0 * t);
    const double right = 0.6 * std::sin(twoPi * 400.0 * t);
    return 0.5 * ((left + right) + (left - right) * std::sin(2.0 * theta));
}

// The RDS subcarrier for a data symbol of +-1.
double rdsAt(double t, double theta, int symbol) {
    const double bitPosition = t * rdsBitRate;
    const double shape = std::sin(twoPi * (bitPosition - std::floor(bitPosition)));
    return 0.04 * symbol * shape * std::sin(3.0 * theta);
}

}  // namespace

CompositeTestSignal::CompositeTestSignal(double sampleRate) : rate(sampleRate) {
    // The tones and the pilot repeat every 5 ms and the RDS bit phase against them every 160 ms,
    // so a quarter second holds every peak the signal can reach; with the RDS symbol taken at
    // the sign that adds to the peak, as the data bits sooner or later do. The peak grows with
    // the tone level: a bisection finds the level of the wanted peak.
    constexpr double wantedPeak = 0.996;
    const auto probe = static_cast<std::size_t>(rate / 4.0);
    std::vector<double> tones(probe), pilot(probe), rds(probe);
    for (std::size_t i = 0; i < probe; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double theta = twoPi * 19000.0 * t;
        tones[i] = tonesAt(t, theta);
        pilot[i] = 0.09 * std::sin(theta);
        rds[i] = std::fabs(rdsAt(t, theta, 1));
    }
    double low = 0.0, high = 2.0;
    for (int step = 0; step < 40; ++step) {
        const double level = 0.5 * (low + high);
        double peak = 0.0;
        for (std::size_t i = 0; i < probe; ++i) peak = std::max(peak, std::fabs(level * tones[i] + pilot[i]) + rds[i]);
        (peak > wantedPeak ? high : low) = level;
    }
    toneLevel = low;
}

double CompositeTestSignal::next(double tones) {
    if (!started) {
        symbol = nextRdsLevel() != 0 ? 1 : -1;
        started = true;
    }
    const double t = static_cast<double>(sampleIndex++) / rate;
    const double theta = twoPi * 19000.0 * t;
    const auto bitNow = static_cast<std::uint64_t>(t * rdsBitRate);
    while (bitIndex < bitNow) {
        symbol = nextRdsLevel() != 0 ? 1 : -1;
        ++bitIndex;
    }
    return tones * tonesAt(t, theta) + 0.09 * std::sin(theta) + rdsAt(t, theta, symbol);
}

void CompositeTestSignal::generate(float* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<float>(next(toneLevel));
}

}  // namespace kestrava::audio::soundcard
