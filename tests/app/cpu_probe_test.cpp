#include "app/CpuProbe.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t sse2 = 1u << 26;      // leaf 1, fourth register
constexpr std::uint32_t osxsave = 1u << 27;   // leaf 1, third register
constexpr std::uint32_t avx = 1u << 28;       // leaf 1, third register
constexpr std::uint32_t avx2 = 1u << 5;       // leaf 7, second register

TEST(CpuProbe, ChoosesTheVectorRoutinesFromTheProcessorWords) {
    const struct {
        const char* name;
        CpuidWords words;
        bool allowAvx2;
        bool useAvx2;
        bool useSse2;
        bool avxUsable;
    } cases[] = {
        {"nothing", {}, true, false, false, false},
        {"SSE2 only", {1, 0, sse2, 0, 0}, true, false, true, false},
        {"AVX2 with saved state", {7, osxsave | avx, sse2, avx2, 0x7}, true, true, true, true},
        {"AVX2 but the OS saves no AVX state", {7, avx, sse2, avx2, 0}, true, false, true, false},
        {"AVX2 but only SSE state enabled", {7, osxsave | avx, sse2, avx2, 0x2}, true, false, true, false},
        {"AVX2 bit without leaf 7", {6, osxsave | avx, sse2, avx2, 0x7}, true, false, true, true},
        {"AVX without AVX2", {7, osxsave | avx, sse2, 0, 0x7}, true, false, true, true},
        {"AVX2 not allowed", {7, osxsave | avx, sse2, avx2, 0x7}, false, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CpuProbe p = probeCpu(c.words, c.allowAvx2, true);
        EXPECT_EQ(p.useAvx2Routines, c.useAvx2);
        EXPECT_EQ(p.useSse2Routines, c.useSse2);
        EXPECT_EQ(p.avxUsable, c.avxUsable);
    }
}

}  // namespace
