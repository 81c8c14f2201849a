#include "DoublePredictors.h"

#include "codec/TaperBank.h"

using kestrava::codec::taperBank;

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

    // Four interleaved partial sums per lag, S_c over the t with t mod 4 = c: their order of
    // rounding is part of the result. Every sum adds its terms in increasing t; the sums are
    // independent of each other, so the lags advance together (first the t below 16, which not
    // every lag has, then blocks of four t).
    double s[16][4] = {};
    for (std::uint32_t lag = 0; lag < 16; ++lag) {
        for (std::uint32_t t = lag; t < 16; ++t) s[lag][t % 4] = s[lag][t % 4] + x[t] * x[t - lag];
    }
    for (std::uint32_t t = 16; t < 128; t += 4) {
        for (std::uint32_t lag = 0; lag < 16; ++lag) {
            s[lag][0] = s[lag][0] + x[t] * x[t - lag];
            s[lag][1] = s[lag][1] + x[t + 1] * x[t + 1 - lag];
            s[lag][2] = s[lag][2] + x[t + 2] * x[t + 2 - lag];
            s[lag][3] = s[lag][3] + x[t + 3] * x[t + 3 - lag];
        }
    }
    std::array<double, 16> r{};
    for (std::uint32_t lag = 0; lag < 16; ++lag) r[lag] = ((s[lag][0] + s[lag][1]) + s[lag][2]) + s[lag][3];

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
    // w[16..79] are the analysis entries (written below as positions 0..63), w[80..95] the
    // trailing zeros a short history's rising edge runs into, and w[0..15] the leading zeros the
    // lags read below position 0.
    constexpr std::uint32_t at = 16;
    std::array<double, 96> w{};
    const std::uint32_t n = ring.fillCount < 64u ? ring.fillCount : 64u;
    for (std::uint32_t j = 0; j < n; ++j) w[at + 64 - n + j] = ring.samples[(ring.writeIndex - n + j) % 64u];
    // Unsigned on purpose: fewer than 6 samples (only after 2^32 samples without a reset) give
    // the longest edge, which the two passes then share.
    std::uint32_t e = n - 6u;
    if (e > 16u) e = 16u;
    e &= ~1u;
    const std::uint32_t taper = (e + 6u) / 2u;
    for (std::uint32_t j = 0; j < 16; ++j) w[at + 64 - n + j] = w[at + 64 - n + j] * taperBank[taper][j];
    for (std::uint32_t j = 0; j < 16; ++j) w[at + 48 + j] = w[at + 48 + j] * taperBank[taper][16 + j];

    std::array<double, 6> r{};
    for (std::uint32_t lag = 0; lag <= 5; ++lag) {
        double even = 0.0, odd = 0.0;
        for (std::uint32_t i = 0; i < 32; ++i) even = even + w[at + 2 * i] * w[at + 2 * i - lag];
        for (std::uint32_t i = 0; i < 32; ++i) odd = odd + w[at + 2 * i + 1] * w[at + 2 * i + 1 - lag];
        r[lag] = even + odd;
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
