// BackwardLpc5 autocorrelation, AVX2: one ymm register holds (even, odd) of lag k and of lag k + 1.
#include "codec/x86/Avx2Kernels.h"

#include <immintrin.h>

namespace kestrava::codec {

namespace x86 {
namespace {

inline __m256d lagPair(const double* p) { return _mm256_set_m128d(_mm_loadu_pd(p - 1), _mm_loadu_pd(p)); }

inline void finish(__m256d acc, double* r) {
    alignas(32) double s[4];
    _mm256_store_pd(s, acc);
    r[0] = s[0] + s[1];
    r[1] = s[2] + s[3];
}

}  // namespace

void lpc5CorrelateAvx2(const double* w, double* r) {
    __m256d lags01 = _mm256_setzero_pd();
    __m256d lags23 = _mm256_setzero_pd();
    __m256d lags45 = _mm256_setzero_pd();
    for (int i = 0; i < 64; i += 2) {
        const __m128d a = _mm_loadu_pd(w + i);
        const __m256d aa = _mm256_set_m128d(a, a);
        lags01 = _mm256_add_pd(lags01, _mm256_mul_pd(aa, lagPair(w + i)));
        lags23 = _mm256_add_pd(lags23, _mm256_mul_pd(aa, lagPair(w + i - 2)));
        lags45 = _mm256_add_pd(lags45, _mm256_mul_pd(aa, lagPair(w + i - 4)));
    }
    finish(lags01, r);
    finish(lags23, r + 2);
    finish(lags45, r + 4);
}

}  // namespace x86

}  // namespace kestrava::codec
