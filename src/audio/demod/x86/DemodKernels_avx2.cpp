// The AVX2 build of the demodulator's element-wise routines; compiled with -mavx2 (never FMA).
// Each lane does exactly the operations of the generic build, so the results are identical.
#include "audio/demod/DemodKernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace kestrava::audio::demod {

namespace {

constexpr std::uint32_t frameLength = 4096;
constexpr std::uint32_t flank = 1024;
constexpr std::uint32_t lastElement = 4096;

void multiplyRun(float* data, const float* factors, std::uint32_t from, std::uint32_t to) {
    std::uint32_t i = from;
    for (; i + 8 <= to; i += 8) {
        _mm256_storeu_ps(data + i, _mm256_mul_ps(_mm256_loadu_ps(data + i), _mm256_loadu_ps(factors + i)));
    }
    for (; i < to; ++i) data[i] = data[i] * factors[i];
}

void taper(float* buffer, const float* window) {
    multiplyRun(buffer, window, 0, flank);
    multiplyRun(buffer, window, frameLength - flank, frameLength);
}

void applyBandMask(float* spectrum, const float* gains, std::uint32_t passStart, std::uint32_t passEnd,
                   std::uint32_t zeroStart) {
    multiplyRun(spectrum, gains, 0, std::min(passStart, lastElement) + 1);
    if (passEnd <= zeroStart) multiplyRun(spectrum, gains, passEnd, std::min(zeroStart, lastElement) + 1);
    if (zeroStart <= lastElement) std::fill(spectrum + zeroStart, spectrum + lastElement + 1, 0.0f);
}

// Interpolates one column for eight samples: w·T[k][column] + f·T[k+1][column].
__m256 interpolate(const float* table, __m256i index, __m256i nextIndex, __m256 w, __m256 f) {
    const __m256 lower = _mm256_i32gather_ps(table, index, 4);
    const __m256 upper = _mm256_i32gather_ps(table, nextIndex, 4);
    return _mm256_add_ps(_mm256_mul_ps(w, lower), _mm256_mul_ps(f, upper));
}

void mixCarriers(const float* phases, const float (*carrierTable)[4], const float* rdsQuadratureCarrierTable,
                 float* difference, float* quadrature, float* rdsInPhase, float* rdsQuadrature) {
    const float* table = &carrierTable[0][0];
    const __m256 scale = _mm256_set1_ps(4096.0f);
    const __m256 lastRow = _mm256_set1_ps(4095.0f);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 two = _mm256_set1_ps(2.0f);
    const __m256i rowStep = _mm256_set1_epi32(4);
    const __m256i next = _mm256_set1_epi32(1);
    for (std::uint32_t i = 0; i < frameLength; i += 8) {
        const __m256 x = _mm256_mul_ps(_mm256_loadu_ps(phases + i), scale);
        // max(x, 0) gives 0 for NaN and negative x (the second operand wins), as the generic build.
        const __m256 clamped = _mm256_min_ps(_mm256_max_ps(x, _mm256_setzero_ps()), lastRow);
        const __m256i k = _mm256_cvttps_epi32(clamped);
        const __m256 f = _mm256_sub_ps(x, _mm256_cvtepi32_ps(k));
        const __m256 w = _mm256_sub_ps(one, f);
        const __m256i row = _mm256_mullo_epi32(k, rowStep);
        const __m256i nextRow = _mm256_add_epi32(row, rowStep);
        const __m256 c1 = interpolate(table + 1, row, nextRow, w, f);
        const __m256 c2 = interpolate(table + 2, row, nextRow, w, f);
        const __m256 c3 = interpolate(table + 3, row, nextRow, w, f);
        const __m256 c57 = interpolate(rdsQuadratureCarrierTable, k, _mm256_add_epi32(k, next), w, f);
        const __m256 a = _mm256_loadu_ps(difference + i);
        _mm256_storeu_ps(difference + i, _mm256_mul_ps(_mm256_add_ps(c1, c1), a));
        _mm256_storeu_ps(quadrature + i, _mm256_mul_ps(_mm256_mul_ps(c3, a), two));
        _mm256_storeu_ps(rdsInPhase + i, _mm256_mul_ps(c2, _mm256_loadu_ps(rdsInPhase + i)));
        _mm256_storeu_ps(rdsQuadrature + i, _mm256_mul_ps(c57, _mm256_loadu_ps(rdsQuadrature + i)));
    }
}

void stereoMatrix(const float* mono, const float* difference, float* left, float* right) {
    for (std::uint32_t i = 0; i < frameLength; i += 8) {
        const __m256 m = _mm256_loadu_ps(mono + i);
        const __m256 d = _mm256_loadu_ps(difference + i);
        _mm256_storeu_ps(left + i, _mm256_add_ps(m, d));
        _mm256_storeu_ps(right + i, _mm256_sub_ps(m, d));
    }
}

constexpr DemodKernels avx2{"avx2", taper, applyBandMask, mixCarriers, stereoMatrix};

}  // namespace

const DemodKernels* avx2DemodKernelsBuild() { return &avx2; }

}  // namespace kestrava::audio::demod

#endif
