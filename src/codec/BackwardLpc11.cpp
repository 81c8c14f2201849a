#include "codec/BackwardLpc11.h"

#include "codec/CodecKernels.h"
#include "codec/LevinsonSteps.h"

#include <algorithm>
#include <cstring>

namespace kestrava::codec {

namespace {

constexpr float energyFloor = 0x1p-114f;
constexpr std::uint32_t taperRow = 8;
constexpr int order = BackwardLpc11::order;
using Row = kestrava::codec::levinson_steps::Row<float, order + 1>;

// Levinson-Durbin in float; only the divisor is floored, the energy is carried as it comes.
template <int M>
inline void levinsonFrom(const Row& prev, const float* r, float energy, float (*table)[order + 1]) {
    const float acc = kestrava::codec::levinson_steps::backwardDot<M>(prev, r);
    const float divisor = energy > energyFloor ? energy : energyFloor;
    const float inv = 1.0f / divisor;
    const float k = (r[M] - acc) * inv;
    const Row row = kestrava::codec::levinson_steps::reflect<M>(prev, k);
    kestrava::codec::levinson_steps::storeRow<M>(row, table[M]);
    if constexpr (M < order) levinsonFrom<M + 1>(row, r, (1.0f - k * k) * energy, table);
}

// dst[0..count) = the ring's slots from `start` on, wrapping at ringLength once at most.
inline void copyFromRing(const float* ring, std::uint32_t start, std::uint32_t count, float* dst) {
    const std::uint32_t first = std::min(count, BackwardLpc11::ringLength - start);
    std::copy(ring + start, ring + start + first, dst);
    std::copy(ring, ring + (count - first), dst + first);
}

// The same for a fixed count: one copy of known length unless the run wraps.
template <std::uint32_t Count>
inline void copyFromRing(const float* ring, std::uint32_t start, float* dst) {
    if (start + Count <= BackwardLpc11::ringLength) {
        std::memcpy(dst, ring + start, Count * sizeof(float));
    } else {
        copyFromRing(ring, start, Count, dst);
    }
}

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
        copyFromRing(history.samples, oldest, n, w + (ringLength - n));
    } else {
        // Steady state: only the positions this call reads (the 21 oldest, the 24 newest).
        copyFromRing<21>(history.samples, oldest, w);
        copyFromRing<ringLength - 296>(history.samples, (oldest + 296) % ringLength, w + 296);
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

    levinsonFrom<1>(Row{}, r, r[0], coefTable);
}

}  // namespace kestrava::codec
