// BackwardLpc11 lane sums, AVX2: the low half of a ymm register holds the four lanes of lag k,
// the high half those of lag k + 1; lags 4g..4g+3 share their positions.
#include "codec/x86/Avx2Kernels.h"

#include <immintrin.h>

namespace codec_x86 {
namespace {

struct GroupSums {
    __m256 lags01 = _mm256_setzero_ps();
    __m256 lags23 = _mm256_setzero_ps();

    void add(const float* w, int t, int firstLag) {
        const __m128 a = _mm_loadu_ps(w + t);
        const __m256 aa = _mm256_set_m128(a, a);
        const float* p = w + t - firstLag;
        lags01 = _mm256_add_ps(lags01, _mm256_mul_ps(aa, _mm256_set_m128(_mm_loadu_ps(p - 1), _mm_loadu_ps(p))));
        lags23 = _mm256_add_ps(lags23, _mm256_mul_ps(aa, _mm256_set_m128(_mm_loadu_ps(p - 3), _mm_loadu_ps(p - 2))));
    }

    void finish(float* r) const {
        alignas(32) float s[16];
        _mm256_store_ps(s, lags01);
        _mm256_store_ps(s + 8, lags23);
        for (int d = 0; d < 4; ++d) {
            const float* c = s + 4 * d;
            r[d] = ((c[0] + c[1]) + c[2]) + c[3];
        }
    }
};

}  // namespace

void lpc11SumsAvx2(const float* w, std::uint32_t skip, std::uint32_t end, float* r) {
    for (int group = 0; group < 3; ++group) {
        GroupSums sums;
        for (int t = 4 * group + static_cast<int>(skip); t < static_cast<int>(end); t += 4) sums.add(w, t, 4 * group);
        sums.finish(r + 4 * group);
    }
}

void lpc11EdgeSumsAvx2(const float* w, float* r) {
    for (int group = 0; group < 3; ++group) {
        GroupSums sums;
        for (int t = 4 * group; t < 4 * group + 12; t += 4) sums.add(w, t, 4 * group);
        for (int t = 308; t < 320; t += 4) sums.add(w, t, 4 * group);
        sums.finish(r + 4 * group);
    }
}

}  // namespace codec_x86
