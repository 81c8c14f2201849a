#include "codec/BackwardLpc16.h"

#include "codec/AnalysisFrame.h"
#include "codec/CodecKernels.h"
#include "codec/LevinsonSteps.h"

#include <algorithm>
#include <cstring>

namespace kestrava::codec {

namespace {

constexpr double smallestNormal = 0x1p-1022;
constexpr int order = BackwardLpc16::order;
using Row = kestrava::codec::levinson_steps::Row<double, order + 1>;

template <int M>
inline void levinsonFrom(const Row& prev, const double* r, double energy, double (*table)[order + 1]) {
    const double s = kestrava::codec::levinson_steps::backwardDot<M>(prev, r);
    const double k = (r[M] - s) * floorReciprocal(energy, smallestNormal);
    const Row row = kestrava::codec::levinson_steps::reflect<M>(prev, k);
    kestrava::codec::levinson_steps::storeRow<M>(row, table[M]);
    if constexpr (M < order) levinsonFrom<M + 1>(row, r, energy * (1.0 - k * k), table);
}

}  // namespace

BackwardLpc16::BackwardLpc16() : analysisFrame{}, coefTable{}, predictionLimit(1.5), historyScale(128) {
    std::memcpy(taperTable, taperBank, sizeof taperTable);
}

void BackwardLpc16::update(const ChannelHistory<double>& history) { update(history, codecKernels()); }

void BackwardLpc16::update(const ChannelHistory<double>& history, const CodecKernels& kernels) {
    double* x = analysisFrame + guard;
    const std::uint32_t n = fillAnalysisFrame(history, x, ringLength);

    // Taper: a 2e-point window for 16..31 samples, else the 32-point one; rising pass first.
    const int e = (n >= 16 && n <= 31) ? static_cast<int>(n / 2) : 16;
    const double* taper = taperTable[e];
    for (int k = 0; k < 16; ++k) x[ringLength - n + k] = x[ringLength - n + k] * taper[k];
    for (int k = 0; k < 16; ++k) x[112 + k] = x[112 + k] * taper[16 + k];

    double r[16];
    kernels.lpc16Correlate(x, r);

    // Levinson-Durbin: reciprocal of the floored energy first, then the product; no stability test.
    const double k = r[1] * floorReciprocal(r[0], smallestNormal);
    coefTable[1][1] = k;
    Row first{};
    first[1] = k;
    levinsonFrom<2>(first, r, (1.0 - k * k) * r[0], coefTable);
}

}  // namespace kestrava::codec
