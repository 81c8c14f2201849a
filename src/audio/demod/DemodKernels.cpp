#include "audio/demod/DemodKernels.h"

#include "platform/CpuFeatures.h"

#include <algorithm>
#include <cstring>

namespace kestrava::audio::demod {

namespace {

constexpr std::uint32_t frameLength = 4096;
constexpr std::uint32_t flank = 1024;
constexpr std::uint32_t lastElement = 4096;

void taper(float* buffer, const float* window) {
    for (std::uint32_t i = 0; i < flank; ++i) buffer[i] = buffer[i] * window[i];
    for (std::uint32_t i = frameLength - flank; i < frameLength; ++i) buffer[i] = buffer[i] * window[i];
}

void applyBandMask(float* spectrum, const float* gains, std::uint32_t passStart, std::uint32_t passEnd,
                   std::uint32_t zeroStart) {
    for (std::uint32_t i = 0; i <= std::min(passStart, lastElement); ++i) spectrum[i] = spectrum[i] * gains[i];
    if (passEnd <= zeroStart) {
        for (std::uint32_t i = passEnd; i <= std::min(zeroStart, lastElement); ++i) spectrum[i] = spectrum[i] * gains[i];
    }
    if (zeroStart <= lastElement) std::fill(spectrum + zeroStart, spectrum + lastElement + 1, 0.0f);
}

std::uint32_t tableRow(float x) {
    if (!(x >= 0.0f)) return 0;
    if (x >= 4095.0f) return 4095;
    return static_cast<std::uint32_t>(x);
}

void mixCarriers(const float* phases, const float (*carrierTable)[4], const float* rdsQuadratureCarrierTable,
                 float* difference, float* quadrature, float* rdsInPhase, float* rdsQuadrature) {
    for (std::uint32_t i = 0; i < frameLength; ++i) {
        const float x = phases[i] * 4096.0f;
        const std::uint32_t k = tableRow(x);
        const float f = x - static_cast<float>(k);
        const float w = 1.0f - f;
        const float* lower = carrierTable[k];
        const float* upper = carrierTable[k + 1];
        const float c1 = w * lower[1] + f * upper[1];
        const float c2 = w * lower[2] + f * upper[2];
        const float c3 = w * lower[3] + f * upper[3];
        const float c57 = w * rdsQuadratureCarrierTable[k] + f * rdsQuadratureCarrierTable[k + 1];
        const float a = difference[i];
        difference[i] = (c1 + c1) * a;
        quadrature[i] = (c3 * a) * 2.0f;
        rdsInPhase[i] = c2 * rdsInPhase[i];
        rdsQuadrature[i] = c57 * rdsQuadrature[i];
    }
}

void stereoMatrix(const float* mono, const float* difference, float* left, float* right) {
    for (std::uint32_t i = 0; i < frameLength; ++i) {
        left[i] = mono[i] + difference[i];
        right[i] = mono[i] - difference[i];
    }
}

constexpr DemodKernels generic{"generic", taper, applyBandMask, mixCarriers, stereoMatrix};

}  // namespace

const DemodKernels& genericDemodKernels() { return generic; }

#if !(defined(__x86_64__) || defined(__i386__))
const DemodKernels* avx2DemodKernelsBuild() { return nullptr; }
#else
const DemodKernels* avx2DemodKernelsBuild();
#endif

const DemodKernels* avx2DemodKernels() { return kestrava::cpuFeatures().avx2 ? avx2DemodKernelsBuild() : nullptr; }

const DemodKernels& demodKernels() {
    static const DemodKernels& chosen = [] () -> const DemodKernels& {
        const DemodKernels* avx2 = avx2DemodKernels();
        return kestrava::useAvx2Routines() && avx2 != nullptr ? *avx2 : generic;
    }();
    return chosen;
}

}  // namespace kestrava::audio::demod
