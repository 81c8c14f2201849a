// AVX2 build of the erasure coder's kernels: 32-byte vectors, then 8-byte words, then single
// bytes. XOR is exact, so the bytes equal the generic build's. Each step loads before it stores,
// so a destination that is one of the sources is XORed in place correctly.
#include "transport/ErasureKernels.h"
#include "transport/WindowedRows.h"

#include <immintrin.h>

#include <cstring>

namespace kestrava::transport {

namespace {

inline std::uint64_t loadWord(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storeWord(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, sizeof v); }

struct Avx2Vec {
    using Type = __m256i;
    static constexpr int bytes = 32;
    static Type load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void store(std::uint8_t* p, Type v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static Type bxor(Type a, Type b) { return _mm256_xor_si256(a, b); }
    static Type zero() { return _mm256_setzero_si256(); }
};

struct Avx2Xor {
    static __m256i load(const std::uint8_t* p) { return Avx2Vec::load(p); }
    static void store(std::uint8_t* p, __m256i v) { Avx2Vec::store(p, v); }

    static void xor2(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int32_t n) {
        std::int32_t i = 0;
        for (; i + 128 <= n; i += 128) {
            const __m256i v0 = _mm256_xor_si256(load(a + i), load(b + i));
            const __m256i v1 = _mm256_xor_si256(load(a + i + 32), load(b + i + 32));
            const __m256i v2 = _mm256_xor_si256(load(a + i + 64), load(b + i + 64));
            const __m256i v3 = _mm256_xor_si256(load(a + i + 96), load(b + i + 96));
            store(out + i, v0);
            store(out + i + 32, v1);
            store(out + i + 64, v2);
            store(out + i + 96, v3);
        }
        for (; i + 32 <= n; i += 32) store(out + i, _mm256_xor_si256(load(a + i), load(b + i)));
        for (; i + 8 <= n; i += 8) storeWord(out + i, loadWord(a + i) ^ loadWord(b + i));
        for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
    }

    static void xorInto(std::uint8_t* out, const std::uint8_t* a, std::int32_t n) { xor2(out, out, a, n); }

    static void xorInto2(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int32_t n) {
        std::int32_t i = 0;
        for (; i + 64 <= n; i += 64) {
            const __m256i v0 = _mm256_xor_si256(load(out + i), _mm256_xor_si256(load(a + i), load(b + i)));
            const __m256i v1 = _mm256_xor_si256(load(out + i + 32), _mm256_xor_si256(load(a + i + 32), load(b + i + 32)));
            store(out + i, v0);
            store(out + i + 32, v1);
        }
        for (; i + 32 <= n; i += 32) store(out + i, _mm256_xor_si256(load(out + i), _mm256_xor_si256(load(a + i), load(b + i))));
        for (; i + 8 <= n; i += 8) storeWord(out + i, loadWord(out + i) ^ loadWord(a + i) ^ loadWord(b + i));
        for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(out[i] ^ a[i] ^ b[i]);
    }
};

using Kernels = WindowedRows<Avx2Vec, Avx2Xor>;
static_assert(Kernels::Strips::workspaceBytes <= erasureWorkspaceBytes &&
              22 * Kernels::Strips::stripBytes <= erasureWorkspaceBytes);

}  // namespace

const ErasureKernels& avx2ErasureKernels() {
    static constexpr ErasureKernels kernels{Avx2Xor::xor2, Avx2Xor::xorInto, Kernels::encodeRow, Kernels::encodeBlocks};
    return kernels;
}

}  // namespace kestrava::transport
