#include "platform/CpuFeatures.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace kestrava {

namespace {
constexpr std::uint32_t leaf1EdxSse2 = 1u << 26;
constexpr std::uint32_t leaf1EcxOsxsave = 1u << 27;
constexpr std::uint32_t leaf1EcxAvx = 1u << 28;
constexpr std::uint32_t leaf7EbxAvx2 = 1u << 5;
constexpr std::uint64_t xcr0SseAndAvxState = 0x6;
}  // namespace

CpuFeatures probeCpu(const CpuidWords& w) {
    CpuFeatures f;
    f.sse2 = (w.leaf1Edx & leaf1EdxSse2) != 0;
    const bool osSaves = (w.leaf1Ecx & leaf1EcxOsxsave) != 0;
    const bool avx = (w.leaf1Ecx & leaf1EcxAvx) != 0;
    f.avx = osSaves && avx && (w.xcr0 & xcr0SseAndAvxState) == xcr0SseAndAvxState;
    f.avx2 = f.avx && w.highestLeaf >= 7 && (w.leaf7Ebx & leaf7EbxAvx2) != 0;
    return f;
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

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = probeCpu(readCpuidWords());
    return features;
}

bool genericRoutinesForced() {
    const char* value = std::getenv("KESTRAVA_CPU");
    return value != nullptr && std::strcmp(value, "generic") == 0;
}

bool useAvx2Routines() {
    static const bool use = cpuFeatures().avx2 && !genericRoutinesForced();
    return use;
}

}  // namespace kestrava
