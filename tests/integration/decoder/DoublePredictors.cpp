#include "DoublePredictors.h"

#include "codec/TaperBank.h"

namespace streamdecoder {

namespace {

constexpr double smallestNormal = 2.2250738585072014e-308;

// The divisor's floor: a zero, negative, subnormal or NaN energy becomes 2^-1022.
double floored(double v) { return v > smallestNormal ? v : smallestNormal; }

}  // namespace

std::array<double, 16> mainPredictorCoefficients(const MainRing& ring) {
    // x[0..127] are the analysis entries, x[128..143] the trailing zeros a short history's
    // rising taper runs into.
    std::array<double, 144> x{};
    const std::uint32_t n = ring.fillCount < 128u ? ring.fillCount : 128u;
    for (std::uint32_t j = 0; j < n; ++j) x[128 - n + j] = ring.samples[(ring.writeIndex - n + j) % 128u];
    const int e = n >= 16 && n <= 31 ? static_cast<int>(n / 2) : 16;
    for (std::uint32_t k = 0; k < 16; ++k) x[128 - n + k] = x[128 - n + k] * taperBank[e][k];
    for (std::uint32_t k = 0; k < 16; ++k) x[112 + k] = x[112 + k] * taperBank[e][16 + k];

    // Four interleaved partial sums per lag: their order of rounding is part of the result.
    std::array<double, 16> r{};
    for (std::uint32_t lag = 0; lag < 16; ++lag) {
        double s[4] = {0.0, 0.0, 0.0, 0.0};
        for (std::uint32_t t = lag; t < 128; ++t) s[t % 4] = s[t % 4] + x[t] * x[t - lag];
        r[lag] = ((s[0] + s[1]) + s[2]) + s[3];
    }

    double a[16][16] = {};
    const double k1 = r[1] * (1.0 / floored(r[0]));
    a[1][1] = k1;
    double energy = (1.0 - k1 * k1) * r[0];
    for (int m = 2; m <= 15; ++m) {
        double s = 0.0;
        for (int i = 1; i < m; ++i) s = s + a[m - 1][i] * r[m - i];
        const double k = (r[m] - s) * (1.0 / floored(energy));
        for (int i = 1; i < m; ++i) a[m][i] = a[m - 1][i] - k * a[m - 1][m - i];
        a[m][m] = k;
        energy = energy * (1.0 - k * k);
    }
    std::array<double, 16> c{};
    for (int i = 1; i <= 15; ++i) c[i] = a[15][i];
    return c;
}

std::array<double, 6> thirdPredictorCoefficients(const ThirdRing& ring) {
    // w[0..63] are the analysis entries, w[64..79] the trailing zeros; the lags read positions
    // below 0 as zeros.
    std::array<double, 80> w{};
    const std::uint32_t n = ring.fillCount < 64u ? ring.fillCount : 64u;
    for (std::uint32_t j = 0; j < n; ++j) w[64 - n + j] = ring.samples[(ring.writeIndex - n + j) % 64u];
    // Unsigned on purpose: fewer than 6 samples (only after 2^32 samples without a reset) give
    // the longest edge, which the two passes then share.
    std::uint32_t e = n - 6u;
    if (e > 16u) e = 16u;
    e &= ~1u;
    const std::uint32_t taper = (e + 6u) / 2u;
    for (std::uint32_t j = 0; j < 16; ++j) w[64 - n + j] = w[64 - n + j] * taperBank[taper][j];
    for (std::uint32_t j = 0; j < 16; ++j) w[48 + j] = w[48 + j] * taperBank[taper][16 + j];

    auto at = [&](int i) { return i < 0 ? 0.0 : w[static_cast<std::size_t>(i)]; };
    std::array<double, 6> r{};
    for (int lag = 0; lag <= 5; ++lag) {
        double even = 0.0, odd = 0.0;
        for (int i = 0; i < 32; ++i) even = even + at(2 * i) * at(2 * i - lag);
        for (int i = 0; i < 32; ++i) odd = odd + at(2 * i + 1) * at(2 * i + 1 - lag);
        r[static_cast<std::size_t>(lag)] = even + odd;
    }

    double a[6][6] = {};
    const double k1 = r[1] * (1.0 / floored(r[0]));
    a[1][1] = k1;
    double energy = (1.0 - k1 * k1) * r[0];
    for (int m = 2; m <= 5; ++m) {
        double s = 0.0;
        for (int j = 1; j < m; ++j) s = s + a[m - 1][j] * r[m - j];
        const double k = (r[m] - s) * (1.0 / floored(energy));
        for (int j = 1; j < m; ++j) a[m][j] = a[m - 1][j] - k * a[m - 1][m - j];
        a[m][m] = k;
        if (m < 5) energy = (1.0 - k * k) * energy;
    }
    std::array<double, 6> c{};
    for (int j = 1; j <= 5; ++j) c[j] = a[5][j];
    return c;
}

}  // namespace streamdecoder
