// BackwardLpc3 autocorrelation, AVX2: low half lanes of lag k, high half lanes of lag k + 1.
#include "codec/x86/Avx2Kernels.h"

#include <immintrin.h>

namespace kestrava::codec {

namespace x86 {

void lpc3CorrelateAvx2(const float* b, float* r) {
    __m256 lags01 = _mm256_setzero_ps();
    __m256 lags23 = _mm256_setzero_ps();
    for (int j = 0; j < 32; j += 4) {
        const __m128 a = _mm_loadu_ps(b + j);
        const __m256 aa = _mm256_set_m128(a, a);
        lags01 = _mm256_add_ps(lags01, _mm256_mul_ps(aa, _mm256_set_m128(_mm_loadu_ps(b + j - 1), _mm_loadu_ps(b + j))));
        lags23 = _mm256_add_ps(lags23, _mm256_mul_ps(aa, _mm256_set_m128(_mm_loadu_ps(b + j - 3), _mm_loadu_ps(b + j - 2))));
    }
    alignas(32) float s[16];
    _mm256_store_ps(s, lags01);
    _mm256_store_ps(s + 8, lags23);
    for (int k = 0; k < 4; ++k) {
        const float* c = s + 4 * k;
        r[k] = ((c[0] + c[1]) + c[2]) + c[3];
    }
}

}  // namespace x86

}  // namespace kestrava::codec
