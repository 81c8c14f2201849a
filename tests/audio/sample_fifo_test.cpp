#include "audio/SampleFifo.h"
#include "LoggedConfig.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

using kestrava::audio::DemodulatedSample;
using kestrava::audio::SampleFifo;

using Ring4096 = SampleFifo<float, 4096>;
using Ring192k = SampleFifo<float, 192000>;
using FrameRing = SampleFifo<DemodulatedSample, 192000>;

namespace {

struct SampleFifoTest : testing::Test {
    template <class Ring>
    std::unique_ptr<Ring> make(const char* name = "T.ring") {
        return std::make_unique<Ring>(name, &log.config);
    }
    static std::vector<float> ramp(std::size_t n, float start = 1.0f) {
        std::vector<float> v(n);
        std::iota(v.begin(), v.end(), start);
        return v;
    }
    LoggedConfig log;
};

}  // namespace

TEST_F(SampleFifoTest, NewRingsHoldDefaultElements) {
    auto floats = make<Ring4096>();
    auto frames = make<FrameRing>();
    EXPECT_EQ(floats->available(), 0u);
    EXPECT_EQ(frames->available(), 0u);
    for (std::size_t i = 0; i < 4096; ++i) ASSERT_EQ(floats->at(i), 0.0f) << i;
    for (std::size_t i = 0; i < 192000; i += 997) {
        const DemodulatedSample& s = frames->at(i);
        ASSERT_TRUE(s.left == 0 && s.right == 0 && s.quad == 0 && s.pilot == 0 && s.rds == 0 && s.mpx == 1.0f) << i;
    }
}

TEST_F(SampleFifoTest, CopiesWrapAroundTheEndOfTheStorage) {
    auto ring = make<Ring4096>();
    std::vector<float> scratch(4086);
    ASSERT_EQ(ring->write(scratch.data(), 4086), 4086u);
    ASSERT_EQ(ring->readSliding(scratch.data(), 4086, 4086), 4086u);
    const auto src = ramp(25);
    ASSERT_EQ(ring->write(src.data(), 25), 25u);
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(ring->at(4086 + i), src[i]);
    for (std::size_t i = 0; i < 15; ++i) EXPECT_EQ(ring->at(i), src[10 + i]);
    std::vector<float> out(25);
    EXPECT_EQ(ring->readSliding(out.data(), 25, 25), 25u);
    EXPECT_EQ(out, src);
    EXPECT_TRUE(log.fresh().empty());
}

TEST_F(SampleFifoTest, WriteTakesWhatFitsAndLogsTheRest) {
    const struct {
        std::size_t free;
        std::size_t written;
    } cases[] = {{0, 0}, {100, 100}, {3072, 3072}};
    for (const auto& c : cases) {
        auto ring = make<Ring192k>("MPXD.inputBuffer");
        std::vector<float> fill(192000 - c.free, 7.0f);
        ring->write(fill.data(), fill.size());
        const auto src = ramp(3072);
        EXPECT_EQ(ring->write(src.data(), 3072), c.written) << c.free;
        EXPECT_EQ(ring->getWriteCount(), fill.size() + c.written) << c.free;
        if (c.written > 0) {
            EXPECT_EQ(ring->at(fill.size() + c.written - 1), src[c.written - 1]);
        }
        const auto texts = log.fresh();
        if (c.written < 3072) {
            ASSERT_EQ(texts.size(), 1u) << c.free;
            EXPECT_EQ(texts[0], "Buffer too full: cannot write 3072 samples @ MPXD.inputBuffer (writing " +
                                    std::to_string(c.written) + ")");
        } else {
            EXPECT_TRUE(texts.empty());
        }
    }
}

TEST_F(SampleFifoTest, SlidingReadsOverlapTheirWindows) {
    auto ring = make<Ring192k>();
    const auto src = ramp(8192, 0.0f);
    ring->write(src.data(), src.size());
    std::vector<float> window(4096);
    for (float start : {0.0f, 3072.0f}) {
        EXPECT_EQ(ring->readSliding(window.data(), 4096, 3072), 4096u);
        EXPECT_EQ(window.front(), start);
        EXPECT_EQ(window.back(), start + 4095);
    }
    EXPECT_EQ(ring->getReadCount(), 6144u);
    EXPECT_EQ(ring->available(), 2048u);

    // Slide 0 copies without releasing: the next read sees the same window.
    EXPECT_EQ(ring->readSliding(window.data(), 1000, 0), 1000u);
    EXPECT_EQ(window[0], 6144.0f);
    EXPECT_EQ(ring->readSliding(window.data(), 1000, 0), 1000u);
    EXPECT_EQ(window[0], 6144.0f);
    EXPECT_EQ(ring->getReadCount(), 6144u);
    EXPECT_TRUE(log.fresh().empty());
}

TEST_F(SampleFifoTest, ShortReadsReleaseWhatTheyCopyAndFillTheRest) {
    auto floats = make<Ring192k>("MPXD.leftReconstructionBuffer");
    const auto src = ramp(100);
    floats->write(src.data(), 100);
    std::vector<float> dst(3072, -5.0f);
    EXPECT_EQ(floats->readSliding(dst.data(), 3072, 3072), 100u);
    EXPECT_EQ(floats->getReadCount(), 100u);
    EXPECT_EQ(dst[99], 100.0f);
    for (std::size_t i = 100; i < 3072; ++i) ASSERT_EQ(dst[i], 0.0f) << i;

    auto frames = make<FrameRing>("AudioSource.inputBuffer");
    std::vector<DemodulatedSample> records(100, DemodulatedSample{1, 2, 3, 4, 5, 6});
    frames->write(records.data(), 100);
    std::vector<DemodulatedSample> out(3072, DemodulatedSample{9, 9, 9, 9, 9, 0.25f});
    EXPECT_EQ(frames->readSliding(out.data(), 3072, 3072), 100u);
    EXPECT_EQ(out[99].mpx, 6.0f);
    for (std::size_t i = 100; i < 3072; ++i) {
        const auto& s = out[i];
        ASSERT_TRUE(s.left == 0 && s.right == 0 && s.quad == 0 && s.pilot == 0 && s.rds == 0 && s.mpx == 0.25f) << i;
    }
    const auto texts = log.fresh();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Buffer empty, but 3072 samples requested @ MPXD.leftReconstructionBuffer "
                        "(reading 100 instead, sliding size 3072)");
    EXPECT_EQ(texts[1], "Buffer empty, but 3072 samples requested @ AudioSource.inputBuffer "
                        "(reading 100 instead, sliding size 3072)");
}

TEST_F(SampleFifoTest, RepeatedFailuresAreReportedOnceAndThenHeldBack) {
    auto ring = make<Ring4096>("MPXD.pilotOutputBuffer");
    std::vector<float> block(3072, 1.0f);
    for (int i = 0; i < 5; ++i) ring->write(block.data(), 3072);  // the second and later overflow
    for (int i = 0; i < 5; ++i) ring->readSliding(block.data(), 3072, 3072);  // the third and later run dry
    EXPECT_EQ(log.fresh(), (std::vector<std::string>{
                               "Buffer too full: cannot write 3072 samples @ MPXD.pilotOutputBuffer (writing 1024)",
                               "Buffer empty, but 3072 samples requested @ MPXD.pilotOutputBuffer (reading 1024 "
                               "instead, sliding size 3072)",
                           }));
}

TEST_F(SampleFifoTest, ZeroLengthOperationsDoNothing) {
    auto ring = make<Ring4096>();
    float x = 3.0f;
    EXPECT_EQ(ring->write(&x, 0), 0u);
    EXPECT_EQ(ring->readSliding(&x, 0, 0), 0u);
    EXPECT_EQ(x, 3.0f);
    EXPECT_EQ(ring->getWriteCount(), 0u);
    EXPECT_EQ(ring->getReadCount(), 0u);
    EXPECT_TRUE(log.fresh().empty());
}

TEST_F(SampleFifoTest, OverlappedWritesAddFramesAndKeepTheirTails) {
    auto ring = make<Ring192k>();
    std::vector<float> a(4096), b(4096);
    for (std::size_t i = 0; i < 4096; ++i) {
        a[i] = static_cast<float>(i) * 0.5f + 1.0f;
        b[i] = 10000.0f - static_cast<float>(i);
    }
    ring->writeOverlapped(a.data(), 4096, 3072);
    ring->writeOverlapped(b.data(), 4096, 3072);
    EXPECT_EQ(ring->getWriteCount(), 6144u);
    std::vector<float> out(6144);
    ASSERT_EQ(ring->readSliding(out.data(), 6144, 6144), 6144u);
    for (std::size_t i = 0; i < 3072; ++i) ASSERT_EQ(out[i], a[i]) << i;
    for (std::size_t i = 0; i < 1024; ++i) ASSERT_EQ(out[3072 + i], a[3072 + i] + b[i]) << i;
    for (std::size_t i = 1024; i < 3072; ++i) ASSERT_EQ(out[3072 + i], b[i]) << i;
    for (std::size_t i = 0; i < 1024; ++i) ASSERT_EQ(ring->at(6144 + i), b[3072 + i]) << i;
    EXPECT_TRUE(log.fresh().empty());
}

TEST_F(SampleFifoTest, OverlappedWriteCountsTheWholeFrameAgainstTheCapacity) {
    std::vector<float> frame(4096, 1.0f);
    std::vector<float> fill(192000, 2.0f);
    {
        auto ring = make<Ring192k>("MPXD.rdsReconstructionBuffer");
        ring->write(fill.data(), 192000 - 4096);
        ring->writeOverlapped(frame.data(), 4096, 3072);
        EXPECT_EQ(ring->getWriteCount(), 192000u - 4096 + 3072);
        EXPECT_TRUE(log.fresh().empty());
    }
    {
        auto ring = make<Ring192k>("MPXD.rdsReconstructionBuffer");
        ring->write(fill.data(), 192000 - 4095);
        ring->writeOverlapped(frame.data(), 4096, 3072);
        EXPECT_EQ(ring->getWriteCount(), 192000u - 4095);
        EXPECT_EQ(ring->at(192000 - 4095), 0.0f);
        const auto texts = log.fresh();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], "Buffer too full: cannot write 4096 samples in sliding window @ MPXD.rdsReconstructionBuffer");
    }
    {
        // The 4096-sample ring takes a frame only when everything published has been released.
        auto ring = make<Ring4096>("MPXD.pilotReconstructionBuffer");
        std::vector<float> out(3072);
        ring->writeOverlapped(frame.data(), 4096, 3072);
        ring->readSliding(out.data(), 3071, 3071);
        ring->writeOverlapped(frame.data(), 4096, 3072);
        EXPECT_EQ(ring->getWriteCount(), 3072u);
        ring->readSliding(out.data(), 1, 1);
        ring->writeOverlapped(frame.data(), 4096, 3072);
        EXPECT_EQ(ring->getWriteCount(), 6144u);
        EXPECT_EQ(log.fresh().size(), 1u);
    }
}

TEST_F(SampleFifoTest, ResetEmptiesTheRingAndDiscardsThePendingTail) {
    auto ring = make<Ring4096>();
    std::vector<float> a(4096, 3.0f);
    ring->writeOverlapped(a.data(), 4096, 3072);
    std::vector<float> out(3072);
    ring->readSliding(out.data(), 1000, 1000);
    ring->reset();
    EXPECT_EQ(ring->available(), 0u);
    EXPECT_EQ(ring->getWriteCount(), 0u);
    EXPECT_EQ(ring->getReadCount(), 0u);
    EXPECT_EQ(ring->at(0), 3.0f);  // storage untouched
    // The first frame after a reset is published as it is, not added onto stale samples.
    const auto b = ramp(4096);
    ring->writeOverlapped(b.data(), 4096, 3072);
    ASSERT_EQ(ring->readSliding(out.data(), 3072, 3072), 3072u);
    for (std::size_t i = 0; i < 3072; ++i) ASSERT_EQ(out[i], b[i]) << i;
    // A plain write after a reset starts at position 0.
    ring->reset();
    const float x = 42.0f;
    ring->write(&x, 1);
    EXPECT_EQ(ring->at(0), 42.0f);
}

TEST_F(SampleFifoTest, RequestedResetDropsWhatWasPublishedBeforeIt) {
    auto ring = make<Ring4096>();
    const auto before = ramp(10, 100.0f);
    const auto after = ramp(5, 500.0f);
    ring->write(before.data(), 10);
    ring->requestReset();
    ring->write(after.data(), 5);
    EXPECT_EQ(ring->available(), 15u);  // not yet carried out
    std::vector<float> out(5);
    EXPECT_EQ(ring->readSliding(out.data(), 5, 5), 5u);
    EXPECT_EQ(out, after);
    EXPECT_EQ(ring->available(), 0u);
    EXPECT_FALSE(ring->applyPendingReset());
}

TEST_F(SampleFifoTest, PositionsStayContinuousPastTwoToThe32) {
    auto ring = make<Ring192k>();
    const std::uint64_t total = (std::uint64_t{1} << 32) + 4;
    ring->setTotalsForTest(total);
    const float src[2] = {1.5f, 2.5f};
    ring->write(src, 2);
    const std::size_t p4 = static_cast<std::size_t>(total % 192000);
    const std::size_t p5 = static_cast<std::size_t>((total + 1) % 192000);
    EXPECT_EQ(p5, p4 + 1);
    EXPECT_EQ(ring->at(p4), 1.5f);
    EXPECT_EQ(ring->at(p5), 2.5f);
    float out[2] = {};
    EXPECT_EQ(ring->readSliding(out, 2, 2), 2u);
    EXPECT_EQ(out[0], 1.5f);
    EXPECT_EQ(out[1], 2.5f);
    EXPECT_EQ(ring->getReadCount(), total + 2);
}

// One producer and one consumer move a counted sequence through a small ring in chunks of random
// sizes; every element must arrive once, in order. ThreadSanitizer checks the hand-over.
TEST(SampleFifoStress, TenMillionElementsArriveInOrder) {
#if defined(__SANITIZE_THREAD__)
    std::uint64_t total = 1'000'000;
#else
    std::uint64_t total = 10'000'000;
#endif
    if (const char* env = std::getenv("KESTRAVA_STRESS_ELEMENTS")) total = std::strtoull(env, nullptr, 10);
    KestravaInstanceConfig config(192000, 2040);  // logger not enabled: nothing is logged
    auto ring = std::make_unique<Ring4096>("stress", &config);
    constexpr std::uint32_t wrap = 1u << 24;  // floats hold these integers exactly

    std::thread producer([&] {
        std::mt19937 random(1234);
        std::vector<float> chunk(1024);
        std::uint64_t next = 0;
        while (next < total) {
            std::size_t n = std::min<std::uint64_t>(1 + random() % 1024, total - next);
            while (4096 - ring->available() < n) std::this_thread::yield();
            for (std::size_t i = 0; i < n; ++i) chunk[i] = static_cast<float>((next + i) % wrap);
            ASSERT_EQ(ring->write(chunk.data(), n), n);
            next += n;
        }
    });
    std::mt19937 random(5678);
    std::vector<float> chunk(1024);
    std::uint64_t received = 0;
    std::uint64_t checksum = 0, expected = 0;
    std::uint64_t mismatches = 0;
    while (received < total) {
        const std::size_t want = std::min<std::uint64_t>(1 + random() % 1024, total - received);
        const std::size_t n = std::min(want, ring->available());
        if (n == 0) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(ring->readSliding(chunk.data(), n, n), n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto want_value = static_cast<std::uint64_t>((received + i) % wrap);
            checksum += static_cast<std::uint64_t>(chunk[i]);
            expected += want_value;
            mismatches += static_cast<std::uint64_t>(chunk[i]) != want_value;
        }
        received += n;
    }
    producer.join();
    EXPECT_EQ(checksum, expected);
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(ring->getReadCount(), total);
    EXPECT_EQ(ring->available(), 0u);
}
