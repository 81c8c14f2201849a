// BackwardLpc11 lane sums, AVX2: the low half of a ymm register holds the four lanes of lag k,
// the high half those of lag k + 1; lags 4g..4g+3 share their positions.
#include "codec/x86/Avx2Kernels.h"

#include <immintrin.h>

namespace kestrava::codec {

namespace x86 {
namespace {

inline __m256 lagPair(const float* p) { return _mm256_set_m128(_mm_loadu_ps(p - 1), _mm_loadu_ps(p)); }

// Adds the products of positions t..t+3 for the lags first..first+3.
inline void add(const float* w, int t, int first, __m256& lags01, __m256& lags23) {
    const __m128 a = _mm_loadu_ps(w + t);
    const __m256 aa = _mm256_set_m128(a, a);
    lags01 = _mm256_add_ps(lags01, _mm256_mul_ps(aa, lagPair(w + t - first)));
    lags23 = _mm256_add_ps(lags23, _mm256_mul_ps(aa, lagPair(w + t - first - 2)));
}

inline void finish(__m256 lags01, __m256 lags23, float* r) {
    alignas(32) float s[16];
    _mm256_store_ps(s, lags01);
    _mm256_store_ps(s + 8, lags23);
    for (int d = 0; d < 4; ++d) {
        const float* c = s + 4 * d;
        r[d] = ((c[0] + c[1]) + c[2]) + c[3];
    }
}

}  // namespace

void lpc11SumsAvx2(const float* w, std::uint32_t skip, std::uint32_t end, float* r) {
    for (int first = 0; first < 12; first += 4) {
        __m256 lags01 = _mm256_setzero_ps();
        __m256 lags23 = _mm256_setzero_ps();
        for (int t = first + static_cast<int>(skip); t < static_cast<int>(end); t += 4) add(w, t, first, lags01, lags23);
        finish(lags01, lags23, r + first);
    }
}

void lpc11EdgeSumsAvx2(const float* w, float* r) {
    for (int first = 0; first < 12; first += 4) {
        __m256 lags01 = _mm256_setzero_ps();
        __m256 lags23 = _mm256_setzero_ps();
        for (int t = first; t < first + 12; t += 4) add(w, t, first, lags01, lags23);
        for (int t = 308; t < 320; t += 4) add(w, t, first, lags01, lags23);
        finish(lags01, lags23, r + first);
    }
}

}  // namespace x86

}  // namespace kestrava::codec
