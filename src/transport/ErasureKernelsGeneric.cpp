// Generic build of the erasure coder's kernels: 16-byte SSE2 vectors (the x86-64 baseline),
// then 8-byte words, then single bytes. Each step loads before it stores, so a destination that
// is one of the sources is XORed in place correctly.
#include "transport/ErasureKernels.h"
#include "transport/WindowedRows.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrava::transport {

namespace {

inline std::uint64_t loadWord(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storeWord(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, sizeof v); }

#if defined(__SSE2__)
struct GenericVec {
    using Type = __m128i;
    static constexpr int bytes = 16;
    static Type load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store(std::uint8_t* p, Type v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static Type bxor(Type a, Type b) { return _mm_xor_si128(a, b); }
    static Type zero() { return _mm_setzero_si128(); }
};
#else
struct GenericVec {
    using Type = std::uint64_t;
    static constexpr int bytes = 8;
    static Type load(const std::uint8_t* p) { return loadWord(p); }
    static void store(std::uint8_t* p, Type v) { storeWord(p, v); }
    static Type bxor(Type a, Type b) { return a ^ b; }
    static Type zero() { return 0; }
};
#endif

struct GenericXor {
#if defined(__SSE2__)
    static __m128i load(const std::uint8_t* p) { return GenericVec::load(p); }
    static void store(std::uint8_t* p, __m128i v) { GenericVec::store(p, v); }
#endif

    static void xor2(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int32_t n) {
        std::int32_t i = 0;
#if defined(__SSE2__)
        for (; i + 64 <= n; i += 64) {
            const __m128i v0 = _mm_xor_si128(load(a + i), load(b + i));
            const __m128i v1 = _mm_xor_si128(load(a + i + 16), load(b + i + 16));
            const __m128i v2 = _mm_xor_si128(load(a + i + 32), load(b + i + 32));
            const __m128i v3 = _mm_xor_si128(load(a + i + 48), load(b + i + 48));
            store(out + i, v0);
            store(out + i + 16, v1);
            store(out + i + 32, v2);
            store(out + i + 48, v3);
        }
        for (; i + 16 <= n; i += 16) store(out + i, _mm_xor_si128(load(a + i), load(b + i)));
#endif
        for (; i + 8 <= n; i += 8) storeWord(out + i, loadWord(a + i) ^ loadWord(b + i));
        for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
    }

    static void xorInto(std::uint8_t* out, const std::uint8_t* a, std::int32_t n) { xor2(out, out, a, n); }

    static void xorInto2(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int32_t n) {
        std::int32_t i = 0;
#if defined(__SSE2__)
        for (; i + 32 <= n; i += 32) {
            const __m128i v0 = _mm_xor_si128(load(out + i), _mm_xor_si128(load(a + i), load(b + i)));
            const __m128i v1 = _mm_xor_si128(load(out + i + 16), _mm_xor_si128(load(a + i + 16), load(b + i + 16)));
            store(out + i, v0);
            store(out + i + 16, v1);
        }
        for (; i + 16 <= n; i += 16) store(out + i, _mm_xor_si128(load(out + i), _mm_xor_si128(load(a + i), load(b + i))));
#endif
        for (; i + 8 <= n; i += 8) storeWord(out + i, loadWord(out + i) ^ loadWord(a + i) ^ loadWord(b + i));
        for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(out[i] ^ a[i] ^ b[i]);
    }
};

using Kernels = WindowedRows<GenericVec, GenericXor>;
static_assert(Kernels::Strips::workspaceBytes <= erasureWorkspaceBytes &&
              22 * Kernels::Strips::stripBytes <= erasureWorkspaceBytes);

}  // namespace

const ErasureKernels& genericErasureKernels() {
    static constexpr ErasureKernels kernels{GenericXor::xor2, GenericXor::xorInto, Kernels::encodeRow, Kernels::encodeBlocks};
    return kernels;
}

}  // namespace kestrava::transport
