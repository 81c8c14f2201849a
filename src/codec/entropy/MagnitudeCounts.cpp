#include "codec/entropy/MagnitudeCounts.h"

#include "platform/CpuFeatures.h"

namespace kestrava::codec::entropy {

namespace MagnitudeCounts {

namespace {
std::uint32_t magnitudeOf(std::int32_t v) { return v < 0 ? 0u - std::uint32_t(v) : std::uint32_t(v); }
}  // namespace

void count16Generic(const std::int32_t* values, std::uint32_t count, std::array<std::uint64_t, 16>& bins) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t m = magnitudeOf(values[i]);
        if (m < 16u) ++bins[m];
    }
}

void countWideGeneric(const std::int32_t* values, std::uint32_t count, std::array<std::uint32_t, 256>& counts) {
    counts.fill(0);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t m = magnitudeOf(values[i]);
        ++counts[m < 255u ? m : 255u];
    }
}

const Routines& routines() {
    static const Routines chosen = [] {
#if defined(__x86_64__) || defined(__i386__)
        if (kestrava::useAvx2Routines()) return Routines{count16Avx2, countWideAvx2};
#endif
        return Routines{count16Generic, countWideGeneric};
    }();
    return chosen;
}

}  // namespace MagnitudeCounts

}  // namespace kestrava::codec::entropy
