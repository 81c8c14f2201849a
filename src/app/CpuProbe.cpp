#include "app/CpuProbe.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {
constexpr std::uint32_t leaf1EdxSse2 = 1u << 26;
constexpr std::uint32_t leaf1EcxOsxsave = 1u << 27;
constexpr std::uint32_t leaf1EcxAvx = 1u << 28;
constexpr std::uint32_t leaf7EbxAvx2 = 1u << 5;
constexpr std::uint64_t xcr0SseAndAvxState = 0x6;
}  // namespace

CpuProbe probeCpu(const CpuidWords& w, bool allowAvx2, bool allowSse2) {
    CpuProbe p;
    p.sse2 = (w.leaf1Edx & leaf1EdxSse2) != 0;
    const bool osSaves = (w.leaf1Ecx & leaf1EcxOsxsave) != 0;
    const bool avx = (w.leaf1Ecx & leaf1EcxAvx) != 0;
    p.avxUsable = osSaves && avx && (w.xcr0 & xcr0SseAndAvxState) == xcr0SseAndAvxState;
    p.avx2 = w.highestLeaf >= 7 && (w.leaf7Ebx & leaf7EbxAvx2) != 0;
    p.useAvx2Routines = p.avx2 && p.avxUsable && allowAvx2;
    p.useSse2Routines = p.sse2 && allowSse2;
    return p;
}

CpuidWords readCpuidWords() {
    CpuidWords w;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d) == 0) return w;
    w.highestLeaf = a;
    if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
        w.leaf1Ecx = c;
        w.leaf1Edx = d;
    }
    if (w.highestLeaf >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        w.leaf7Ebx = b;
    }
    if ((w.leaf1Ecx & leaf1EcxOsxsave) != 0) {
        unsigned lo = 0, hi = 0;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        w.xcr0 = (static_cast<std::uint64_t>(hi) << 32) | lo;
    }
#endif
    return w;
}
