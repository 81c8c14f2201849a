// BackwardLpc16 autocorrelation, AVX2: one ymm register holds the four lanes of one lag.
#include "codec/x86/Avx2Kernels.h"

#include <immintrin.h>

namespace codec_x86 {

void lpc16CorrelateAvx2(const double* x, double* r) {
    for (int group = 0; group < 4; ++group) {
        const int first = 4 * group;
        __m256d acc[4] = {_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd()};
        for (int t = first; t < 128; t += 4) {
            const __m256d a = _mm256_loadu_pd(x + t);
            for (int d = 0; d < 4; ++d) {
                acc[d] = _mm256_add_pd(acc[d], _mm256_mul_pd(a, _mm256_loadu_pd(x + t - first - d)));
            }
        }
        for (int d = 0; d < 4; ++d) {
            alignas(32) double s[4];
            _mm256_store_pd(s, acc[d]);
            r[first + d] = ((s[0] + s[1]) + s[2]) + s[3];
        }
    }
}

}  // namespace codec_x86
