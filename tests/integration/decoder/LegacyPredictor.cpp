#include "LegacyPredictor.h"

#include <bit>
#include <cstdint>

namespace streamdecoder {

namespace {

// Hamming window with the coefficients 25/46 and 21/46 over a single-precision angle and cosine,
// hence not quite symmetric. Stored as bit patterns so that no compiler rounds them.
constexpr std::array<std::uint64_t, 16> window16Bits = {
    0x3FB642C8590B2164, 0x3FC02EB108590B22, 0x3FCE76F7C8590B20, 0x3FD9C102237A6F4E,
    0x3FE2EB17A4C8590B, 0x3FE8B21651642C85, 0x3FED35C1CC8590B2, 0x3FEFAE46A2C8590A,
    0x3FEFAE46942C8590, 0x3FED35C1AF4DE9BD, 0x3FE8B2162CDE9BD3, 0x3FE2EB177AC8590B,
    0x3FD9C101DA6F4DEA, 0x3FCE76F7190B2164, 0x3FC02EB0937A6F4E, 0x3FB642C8590B2164,
};

// Keeps an all-zero history from dividing by zero: the smallest normal double.
constexpr double denominatorGuard = 0x1p-1022;
constexpr double predictionLimit = 1.5;

template <std::size_t N>
std::array<double, N> makeWindow() {
    // The 6-point angles 2*pi*n/5 are the 16-point angles of 3n.
    constexpr std::size_t stride = 15 / (N - 1);
    std::array<double, N> w{};
    for (std::size_t n = 0; n < N; ++n) w[n] = std::bit_cast<double>(window16Bits[n * stride]);
    return w;
}

}  // namespace

template <std::size_t N>
const std::array<double, N>& LegacyPredictor<N>::window() {
    static const std::array<double, N> w = makeWindow<N>();
    return w;
}

template <std::size_t N>
double LegacyPredictor<N>::scale() {
    return 1.0 / static_cast<double>(N);
}

template <std::size_t N>
double LegacyPredictor<N>::predict(const std::array<double, N>& ring, std::size_t writeIndex) {
    const std::array<double, N>& w = window();
    for (std::size_t j = 0; j < N; ++j) windowed_[j] = ring[(writeIndex + j) % N] * w[j];

    const double norm = scale();
    for (std::size_t lag = 0; lag < N; ++lag) {
        double sum = 0.0;
        for (std::size_t j = 0; j + lag < N; ++j) sum += windowed_[j] * windowed_[j + lag];
        autocorr_[lag] = sum * norm;
    }

    error_[0] = autocorr_[0];
    for (std::size_t m = 1; m < N; ++m) {
        const std::array<double, N>& prev = coef_[m - 1];
        double sum = 0.0;
        for (std::size_t j = 1; j < m; ++j) sum += prev[j] * autocorr_[m - j];
        const double k = (autocorr_[m] - sum) / (error_[m - 1] + denominatorGuard);
        std::array<double, N>& row = coef_[m];
        for (std::size_t j = 1; j < m; ++j) row[j] = prev[j] - k * prev[m - j];
        row[m] = k;
        error_[m] = (1.0 - k * k) * error_[m - 1];
    }

    // Only a strictly smaller error replaces the best, so the lowest order wins ties.
    std::size_t best = 0;
    for (std::size_t m = 1; m < N; ++m) {
        if (error_[m] < error_[best]) best = m;
    }
    order_ = best;

    double p = 0.0;
    for (std::size_t j = 1; j <= best; ++j) p += coef_[best][j] * ring[(writeIndex + N - j) % N];
    if (p > predictionLimit) p = predictionLimit;
    if (p < -predictionLimit) p = -predictionLimit;
    return p;
}

template class LegacyPredictor<16>;
template class LegacyPredictor<6>;

}  // namespace streamdecoder
