// PreFilter input scaling, AVX2: the two divisions by constants do not depend on the filter state,
// so four samples are divided at once; each quotient is correctly rounded, as in the generic build.
#include "codec/x86/Avx2Kernels.h"

#include <immintrin.h>

namespace kestrava::codec {

namespace x86 {

void preFilterScaleAvx2(const float* x, double* e, double* m, std::uint32_t count) {
    const __m256d highDivisor = _mm256_set1_pd(1.644764842);
    const __m256d bandDivisor = _mm256_set1_pd(28.70646992);
    std::uint32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d v = _mm256_cvtps_pd(_mm_loadu_ps(x + i));
        _mm256_storeu_pd(e + i, _mm256_div_pd(v, highDivisor));
        _mm256_storeu_pd(m + i, _mm256_div_pd(v, bandDivisor));
    }
    for (; i < count; ++i) {
        e[i] = static_cast<double>(x[i]) / 1.644764842;
        m[i] = static_cast<double>(x[i]) / 28.70646992;
    }
}

}  // namespace x86

}  // namespace kestrava::codec
