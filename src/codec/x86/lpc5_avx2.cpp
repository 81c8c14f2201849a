// BackwardLpc5 autocorrelation, AVX2: one ymm register holds (even, odd) of lag k and of lag k + 1.
#include "codec/x86/Avx2Kernels.h"

#include <immintrin.h>

namespace codec_x86 {

void lpc5CorrelateAvx2(const double* w, double* r) {
    __m256d acc[3] = {_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd()};
    for (int i = 0; i < 64; i += 2) {
        const __m128d a = _mm_loadu_pd(w + i);
        const __m256d aa = _mm256_set_m128d(a, a);
        for (int pair = 0; pair < 3; ++pair) {
            const double* p = w + i - 2 * pair;
            const __m256d b = _mm256_set_m128d(_mm_loadu_pd(p - 1), _mm_loadu_pd(p));
            acc[pair] = _mm256_add_pd(acc[pair], _mm256_mul_pd(aa, b));
        }
    }
    for (int pair = 0; pair < 3; ++pair) {
        alignas(32) double s[4];
        _mm256_store_pd(s, acc[pair]);
        r[2 * pair] = s[0] + s[1];
        r[2 * pair + 1] = s[2] + s[3];
    }
}

}  // namespace codec_x86
