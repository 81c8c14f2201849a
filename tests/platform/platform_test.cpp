#include "platform/AlignedNew.h"
#include "platform/AutoResetEvent.h"
#include "platform/CpuFeatures.h"
#include "platform/SystemError.h"
#include "platform/ThreadSetup.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <thread>

using namespace kestrava;

namespace {

struct Big : AlignedNew {
    double samples[1000];
};

}  // namespace

TEST(AlignedNew, ObjectsAre64ByteAligned) {
    for (int i = 0; i < 8; ++i) {
        Big* b = new Big;
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 64, 0u);
        delete b;
    }
    auto shared = makeAligned<Big>();
    ASSERT_TRUE(shared);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(shared.get()) % 64, 0u);
}

TEST(AlignedNew, FailedAllocationReportsAndLeavesObjectMissing) {
    testing::internal::CaptureStderr();
    void* p = alignedAlloc(std::numeric_limits<std::size_t>::max() - 8);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(err, "Memory allocation of size -9 failed.\n");
}

TEST(ThreadSetup, PriorityMapsToNiceValues) {
    const struct {
        int priority;
        int nice;
    } cases[] = {{-15, 19}, {-2, 10}, {-1, 5}, {0, 0}, {1, -5}, {2, -10}, {15, -20}};
    for (const auto& c : cases) EXPECT_EQ(niceForPriority(c.priority), c.nice) << "priority " << c.priority;
}

TEST(ThreadSetup, StartedThreadTakesItsFloatMode) {
    setCurrentFloatMode(FloatMode::FlushToZero);
    bool gradualFlushes = true;
    bool ftzFlushes = false;
    startThread({"gradual", 0, 0, FloatMode::GradualUnderflow}, [&] { gradualFlushes = currentThreadFlushesDenormals(); })
        .join();
    startThread({"ftz", 0, 0, FloatMode::Keep}, [&] { ftzFlushes = currentThreadFlushesDenormals(); }).join();
    setCurrentFloatMode(FloatMode::GradualUnderflow);
    EXPECT_FALSE(gradualFlushes);
    EXPECT_TRUE(ftzFlushes);  // inherited from the creating thread

    // Gradual underflow keeps a denormal result.
    volatile float tiny = 1e-38f;
    volatile float half = tiny / 1000.0f;
    EXPECT_GT(half, 0.0f);
}

TEST(AutoResetEvent, SetBeforeWaitIsKeptAndResetsItself) {
    AutoResetEvent event;
    EXPECT_FALSE(event.waitFor(std::chrono::milliseconds(1)));
    event.set();
    EXPECT_TRUE(event.waitFor(std::chrono::milliseconds(0)));
    EXPECT_FALSE(event.waitFor(std::chrono::milliseconds(1)));
    std::thread setter([&] { event.set(); });
    EXPECT_TRUE(event.waitFor(std::chrono::seconds(10)));
    setter.join();
}

TEST(CpuFeatures, GenericIsForcedByEnvironment) {
    const char* old = std::getenv("KESTRAVA_CPU");
    setenv("KESTRAVA_CPU", "generic", 1);
    EXPECT_TRUE(genericRoutinesForced());
    setenv("KESTRAVA_CPU", "avx2", 1);
    EXPECT_FALSE(genericRoutinesForced());
    if (old != nullptr) {
        setenv("KESTRAVA_CPU", old, 1);
    } else {
        unsetenv("KESTRAVA_CPU");
    }
    if (cpuFeatures().avx2) {
        EXPECT_TRUE(cpuFeatures().avx);
    }
}

// Processors as rows of their CPUID words: AVX2 routines only with AVX state saved by the OS.
TEST(CpuFeatures, ProbeReadsTheProcessorWords) {
    constexpr std::uint32_t sse2 = 1u << 26;     // leaf 1, fourth register
    constexpr std::uint32_t osxsave = 1u << 27;  // leaf 1, third register
    constexpr std::uint32_t avx = 1u << 28;      // leaf 1, third register
    constexpr std::uint32_t avx2 = 1u << 5;      // leaf 7, second register
    const struct {
        const char* name;
        CpuidWords words;
        bool sse2, avx, avx2;
    } cases[] = {
        {"nothing", {}, false, false, false},
        {"SSE2 only", {1, 0, sse2, 0, 0}, true, false, false},
        {"AVX2 with saved state", {7, osxsave | avx, sse2, avx2, 0x7}, true, true, true},
        {"AVX2 but the OS saves no AVX state", {7, avx, sse2, avx2, 0}, true, false, false},
        {"AVX2 but only SSE state enabled", {7, osxsave | avx, sse2, avx2, 0x2}, true, false, false},
        {"AVX2 bit without leaf 7", {6, osxsave | avx, sse2, avx2, 0x7}, true, true, false},
        {"AVX without AVX2", {7, osxsave | avx, sse2, 0, 0x7}, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CpuFeatures f = probeCpu(c.words);
        EXPECT_EQ(f.sse2, c.sse2);
        EXPECT_EQ(f.avx, c.avx);
        EXPECT_EQ(f.avx2, c.avx2);
    }
}

TEST(SystemError, TextThenNumber) {
    EXPECT_EQ(describeSystemError(ENOENT), "No such file or directory (2)");
    EXPECT_EQ(systemErrorText(EACCES), "Permission denied");
}
