#include "codec/BackwardLpc3.h"

#include "codec/AnalysisFrame.h"
#include "codec/CodecKernels.h"

#include <algorithm>

namespace kestrava::codec {

namespace {

constexpr float energyFloor = 0x1p-114f;
constexpr int taperRow = 4;  // 0.54 - 0.46 cos(2 pi t / 7), t = 0..3

}  // namespace

BackwardLpc3::BackwardLpc3() : analysisFrame{}, coefTable{}, predictionLimit(1.5f), historyScale(128) {
    for (int row = 0; row < taperRows; ++row) {
        for (int column = 0; column < taperColumns; ++column) {
            taperTable[row][column] = static_cast<float>(taperBank[row][column]);
        }
    }
}

void BackwardLpc3::update(const ChannelHistory<float>& history) { update(history, codecKernels()); }

void BackwardLpc3::update(const ChannelHistory<float>& history, const CodecKernels& kernels) {
    float* b = analysisFrame + guard;
    const std::uint32_t n = fillAnalysisFrame(history, b, ringLength);

    // Rising edge on the oldest valid slots, then the falling edge on the newest; for fewer than
    // 8 samples some slots carry both factors.
    const float* taper = taperTable[taperRow];
    for (std::uint32_t t = 0; t < 4 && ringLength - n + t < ringLength; ++t) {
        b[ringLength - n + t] = b[ringLength - n + t] * taper[t];
    }
    for (int t = 0; t < 4; ++t) b[31 - t] = b[31 - t] * taper[t];

    float r[order + 1];
    kernels.lpc3Correlate(b, r);

    const float k1 = r[1] * floorReciprocal(r[0], energyFloor);
    coefTable[1][1] = k1;
    const float e1 = (1.0f - k1 * k1) * r[0];
    const float k2 = (r[2] - r[1] * k1) * floorReciprocal(e1, energyFloor);
    const float a21 = k1 - k2 * k1;
    coefTable[2][1] = a21;
    coefTable[2][2] = k2;
    const float e2 = (1.0f - k2 * k2) * e1;
    const float k3 = (r[3] - (r[2] * a21 + r[1] * k2)) * floorReciprocal(e2, energyFloor);
    coefTable[3][1] = a21 - k3 * k2;
    coefTable[3][2] = k2 - a21 * k3;
    coefTable[3][3] = k3;
}

}  // namespace kestrava::codec
