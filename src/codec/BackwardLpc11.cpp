#include "codec/BackwardLpc11.h"

#include "codec/CodecKernels.h"

#include <algorithm>

namespace {

constexpr float energyFloor = 0x1p-114f;
constexpr std::uint32_t taperRow = 8;

}  // namespace

BackwardLpc11::BackwardLpc11() : analysisFrame{}, coefTable{}, predictionLimit(1.5f), historyScale(128) {
    for (int row = 0; row < taperRows; ++row) {
        for (int column = 0; column < taperColumns; ++column) {
            taperTable[row][column] = static_cast<float>(taperBank[row][column]);
        }
    }
}

void BackwardLpc11::update(ChannelHistory<float>& history) { update(history, codecKernels()); }

void BackwardLpc11::update(ChannelHistory<float>& history, const CodecKernels& kernels) {
    float* w = analysisFrame + guard;
    const std::uint32_t n = std::min(history.fillCount, ringLength);
    const bool stale = history.sumsStale || n < ringLength;
    history.sumsStale = stale;
    const std::uint32_t oldest = (history.writePos % ringLength + ringLength - n) % ringLength;

    if (stale) {
        std::fill(w, w + (ringLength - n), 0.0f);
        for (std::uint32_t j = 0; j < n; ++j) w[ringLength - n + j] = history.samples[(oldest + j) % ringLength];
    } else {
        // Steady state: only the positions this call reads (the 21 oldest, the 24 newest).
        for (std::uint32_t j = 0; j < 21; ++j) w[j] = history.samples[(oldest + j) % ringLength];
        for (std::uint32_t j = 296; j < ringLength; ++j) w[j] = history.samples[(oldest + j) % ringLength];
    }

    const float* rise = taperTable[taperRow];
    const float* fall = taperTable[taperRow] + 24;
    for (std::uint32_t j = 0; j < 8; ++j) w[ringLength - n + j] = w[ringLength - n + j] * rise[j];
    for (std::uint32_t j = 0; j < 8; ++j) w[312 + j] = w[312 + j] * fall[j];

    float r[order + 1];
    if (n < ringLength) {
        kernels.lpc11Sums(w, 0, ringLength, r);
    } else {
        float middle[order + 1];
        if (stale) kernels.lpc11Sums(w, 12, 308, middle);
        float edge[order + 1];
        kernels.lpc11EdgeSums(w, edge);
        for (int k = 0; k <= order; ++k) {
            const double m = stale ? static_cast<double>(middle[k]) : history.middleSums[k];
            r[k] = static_cast<float>(m) + edge[k];
            const int leaving = (k & ~3) + 12;
            const float d = w[308] * w[308 - k] - w[leaving] * w[leaving - k];
            history.middleSums[k] = m + static_cast<double>(d);
        }
        history.sumsStale = false;
    }

    // Levinson-Durbin in float; only the divisor is floored, the energy is carried as it comes.
    float energy = r[0];
    for (int m = 1; m <= order; ++m) {
        const float* prev = coefTable[m - 1];
        float acc = 0.0f;
        for (int j = 1; j < m; ++j) acc = acc + prev[j] * r[m - j];
        const float divisor = energy > energyFloor ? energy : energyFloor;
        const float inv = 1.0f / divisor;
        const float k = (r[m] - acc) * inv;
        float* row = coefTable[m];
        for (int j = 1; j < m; ++j) row[j] = prev[j] - k * prev[m - j];
        row[m] = k;
        energy = (1.0f - k * k) * energy;
    }
}
