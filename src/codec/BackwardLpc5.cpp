#include "codec/BackwardLpc5.h"

#include "codec/AnalysisFrame.h"
#include "codec/CodecKernels.h"

#include <algorithm>
#include <cstring>

namespace kestrava::codec {

namespace {

constexpr double smallestNormal = 0x1p-1022;

}  // namespace

BackwardLpc5::BackwardLpc5() : analysisFrame{}, coefTable{}, predictionLimit(1.5), historyScale(128) {
    std::memcpy(taperTable, taperBank, sizeof taperTable);
}

void BackwardLpc5::update(const ChannelHistory<double>& history) { update(history, codecKernels()); }

void BackwardLpc5::update(const ChannelHistory<double>& history, const CodecKernels& kernels) {
    double* w = analysisFrame + guard;
    const std::uint32_t n = fillAnalysisFrame(history, w, ringLength);

    // Taper length min(n/2, 11) for n >= 6. Counts 1..5 (only after fillCount wraps without a reset)
    // give 11 through the unsigned difference; both passes then stay inside the frame's guards.
    const std::uint32_t e = std::min<std::uint32_t>(n - 6, 16) & ~1u;
    const double* taper = taperTable[(e + 6) / 2];
    for (std::uint32_t j = 0; j < 16; ++j) w[ringLength - n + j] = w[ringLength - n + j] * taper[j];
    for (std::uint32_t j = 0; j < 16; ++j) w[48 + j] = w[48 + j] * taper[16 + j];

    double r[order + 1];
    kernels.lpc5Correlate(w, r);

    double k = r[1] * floorReciprocal(r[0], smallestNormal);
    coefTable[1][1] = k;
    double energy = (1.0 - k * k) * r[0];
    for (int m = 2; m <= order; ++m) {
        const double* prev = coefTable[m - 1];
        double s = 0.0;
        for (int j = 1; j < m; ++j) s = s + prev[j] * r[m - j];
        k = (r[m] - s) * floorReciprocal(energy, smallestNormal);
        double* row = coefTable[m];
        for (int j = 1; j < m; ++j) row[j] = prev[j] - k * prev[m - j];
        row[m] = k;
        if (m < order) energy = (1.0 - k * k) * energy;
    }
}

}  // namespace kestrava::codec
