#include "platform/CpuFeatures.h"

#include <cstdlib>
#include <cstring>

namespace kestrava {

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = [] {
        CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_cpu_init();
        f.sse2 = __builtin_cpu_supports("sse2");
        f.avx = __builtin_cpu_supports("avx");
        f.avx2 = __builtin_cpu_supports("avx2");
#endif
        return f;
    }();
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
