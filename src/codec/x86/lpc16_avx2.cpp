// BackwardLpc16 autocorrelation, AVX2: one ymm register holds the four lanes of one lag; the four
// lags of a group share their positions.
#include "codec/x86/Avx2Kernels.h"

#include <immintrin.h>

namespace kestrava::codec {

namespace x86 {
namespace {

inline double reduce(__m256d acc) {
    alignas(32) double s[4];
    _mm256_store_pd(s, acc);
    return ((s[0] + s[1]) + s[2]) + s[3];
}

}  // namespace

void lpc16CorrelateAvx2(const double* x, double* r) {
    for (int first = 0; first < 16; first += 4) {
        __m256d lag0 = _mm256_setzero_pd();
        __m256d lag1 = _mm256_setzero_pd();
        __m256d lag2 = _mm256_setzero_pd();
        __m256d lag3 = _mm256_setzero_pd();
        for (int t = first; t < 128; t += 4) {
            const __m256d a = _mm256_loadu_pd(x + t);
            const double* p = x + t - first;
            lag0 = _mm256_add_pd(lag0, _mm256_mul_pd(a, _mm256_loadu_pd(p)));
            lag1 = _mm256_add_pd(lag1, _mm256_mul_pd(a, _mm256_loadu_pd(p - 1)));
            lag2 = _mm256_add_pd(lag2, _mm256_mul_pd(a, _mm256_loadu_pd(p - 2)));
            lag3 = _mm256_add_pd(lag3, _mm256_mul_pd(a, _mm256_loadu_pd(p - 3)));
        }
        r[first] = reduce(lag0);
        r[first + 1] = reduce(lag1);
        r[first + 2] = reduce(lag2);
        r[first + 3] = reduce(lag3);
    }
}

}  // namespace x86

}  // namespace kestrava::codec
