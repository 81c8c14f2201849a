// AVX2 build of the magnitude counts; compiled with -mavx2 only (never FMA).
#include "codec/entropy/MagnitudeCounts.h"

#include <immintrin.h>

namespace kestrava::codec::entropy {

namespace MagnitudeCounts {

void count16Avx2(const std::int32_t* values, std::uint32_t count, std::array<std::uint64_t, 16>& bins) {
    // One lane counter per magnitude: a compare gives -1 per match, subtracted. Flushed into the
    // 64-bit bins before a lane could reach 2^31.
    __m256i lanes[16];
    for (auto& l : lanes) l = _mm256_setzero_si256();
    auto flush = [&] {
        for (int m = 0; m < 16; ++m) {
            alignas(32) std::uint32_t part[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(part), lanes[m]);
            for (std::uint32_t p : part) bins[std::size_t(m)] += p;
            lanes[m] = _mm256_setzero_si256();
        }
    };
    std::uint32_t i = 0;
    std::uint32_t sinceFlush = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i));
        const __m256i magnitude = _mm256_abs_epi32(v);  // INT_MIN stays 0x80000000: never below 16
        for (int m = 0; m < 16; ++m) {
            lanes[m] = _mm256_sub_epi32(lanes[m], _mm256_cmpeq_epi32(magnitude, _mm256_set1_epi32(m)));
        }
        if (++sinceFlush == (1u << 28)) {
            flush();
            sinceFlush = 0;
        }
    }
    flush();
    count16Generic(values + i, count - i, bins);
}

void countWideAvx2(const std::int32_t* values, std::uint32_t count, std::array<std::uint32_t, 256>& counts) {
    // Magnitudes and their escape index eight at a time; the counting itself stays scalar, in
    // two tables so that runs of one magnitude do not wait on each other's increments.
    std::array<std::uint32_t, 256> second{};
    counts.fill(0);
    const __m256i escape = _mm256_set1_epi32(255);
    std::uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i));
        const __m256i index = _mm256_min_epu32(_mm256_abs_epi32(v), escape);
        alignas(32) std::uint32_t part[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(part), index);
        ++counts[part[0]];
        ++second[part[1]];
        ++counts[part[2]];
        ++second[part[3]];
        ++counts[part[4]];
        ++second[part[5]];
        ++counts[part[6]];
        ++second[part[7]];
    }
    for (std::size_t m = 0; m < 256; ++m) counts[m] += second[m];
    for (; i < count; ++i) {
        const std::int32_t v = values[i];
        const std::uint32_t m = v < 0 ? 0u - std::uint32_t(v) : std::uint32_t(v);
        ++counts[m < 255u ? m : 255u];
    }
}

}  // namespace MagnitudeCounts

}  // namespace kestrava::codec::entropy
