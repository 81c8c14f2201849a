#include "DemodTestSupport.h"
#include "audio/demod/DemodRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

namespace {

using BigRing = DemodRing<192000>;

std::vector<float> ramp(std::size_t n, float start) {
    std::vector<float> v(n);
    std::iota(v.begin(), v.end(), start);
    return v;
}

}  // namespace

TEST(DemodRing, SlidingReadWrapsAroundTheEndAndSlidesBy3072) {
    LoggedConfig owner;
    auto ring = std::make_unique<BigRing>("MPXD.inputBuffer", &owner.config);
    // Bring the read position to 2000 before the end.
    const std::vector<float> filler(190000);
    ring->write(filler.data(), 190000);
    std::vector<float> sink(190000);
    ring->readSliding(sink.data(), 190000, 190000);
    const std::vector<float> samples = ramp(6000, 1.0f);
    ring->write(samples.data(), 6000);

    std::vector<float> frame(4096);
    EXPECT_EQ(ring->readSliding(frame.data(), 4096, 3072), 4096u);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), samples.begin()));
    EXPECT_EQ(ring->readCount() % 192000, 1072u);
    EXPECT_EQ(ring->available(), 6000u - 3072u);
    // The next frame repeats the last 1024 samples of this one.
    EXPECT_EQ(ring->readSliding(frame.data(), 1024, 0), 1024u);
    EXPECT_EQ(frame[0], samples[3072]);
}

TEST(DemodRing, ShortReadAndOverfullWriteAreLoggedAndBounded) {
    LoggedConfig owner;
    auto ring = std::make_unique<BigRing>("MPXD.pilotOutputBuffer", &owner.config);
    const std::vector<float> samples = ramp(1000, 1.0f);
    ring->write(samples.data(), 1000);
    std::vector<float> out(3072, -1.0f);
    EXPECT_EQ(ring->readSliding(out.data(), 3072, 3072), 1000u);
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), out.begin()));
    EXPECT_TRUE(std::all_of(out.begin() + 1000, out.end(), [](float v) { return v == 0.0f; }));
    EXPECT_EQ(ring->readCount(), 1000u);

    const std::vector<float> lots(191000);
    ring->write(lots.data(), 191000);
    ring->write(samples.data(), 1000);  // 1000 free: fits exactly
    ring->write(samples.data(), 10);    // no room at all
    EXPECT_EQ(ring->writeCount(), 1000u + 191000u + 1000u);
    const auto texts = owner.sink->waitFor("Buffer too full: cannot write 10 samples @ MPXD.pilotOutputBuffer (writing 0)");
    EXPECT_EQ(texts.front(),
              "Buffer empty, but 3072 samples requested @ MPXD.pilotOutputBuffer (reading 1000 instead, sliding size 3072)");
    EXPECT_EQ(texts.size(), 2u);
}

TEST(DemodRing, OverlappedFramesAddTheirHeadsOntoThePendingTail) {
    auto ring = std::make_unique<DemodRing<4096>>("MPXD.pilotReconstructionBuffer", nullptr);
    std::vector<float> out(4096);
    // Four frames from position 0 run the write position through 0, 3072, 2048 and 1024.
    for (int f = 0; f < 5; ++f) {
        const std::vector<float> frame(4096, 1.0f);
        ASSERT_TRUE(ring->writeOverlapped(frame.data())) << f;
        ASSERT_EQ(ring->available(), 3072u);
        ring->readSliding(out.data(), 3072, 3072);
        const float head = f == 0 ? 1.0f : 2.0f;
        for (int i = 0; i < 3072; ++i) ASSERT_EQ(out[i], i < 1024 ? head : 1.0f) << f << " " << i;
    }
    // A small ring takes a frame only when it has been drained.
    const std::vector<float> frame(4096, 1.0f);
    ASSERT_TRUE(ring->writeOverlapped(frame.data()));
    EXPECT_FALSE(ring->writeOverlapped(frame.data()));
    EXPECT_EQ(ring->writeCount(), 6u * 3072u);
}

TEST(DemodRing, AFrameFitsUpTo187904PendingSamples) {
    LoggedConfig owner;
    for (const std::uint32_t pending : {187904u, 187905u}) {
        auto ring = std::make_unique<BigRing>("MPXD.leftReconstructionBuffer", &owner.config);
        const std::vector<float> filler(pending);
        ring->write(filler.data(), pending);
        const std::vector<float> frame(4096, 1.0f);
        const bool fits = pending == 187904u;
        EXPECT_EQ(ring->writeOverlapped(frame.data()), fits) << pending;
        EXPECT_EQ(ring->writeCount(), pending + (fits ? 3072u : 0u)) << pending;
    }
    const auto texts =
        owner.sink->waitFor("Buffer too full: cannot write 4096 samples in sliding window @ MPXD.leftReconstructionBuffer");
    EXPECT_EQ(texts.size(), 1u);
}

TEST(DemodRing, ResetEmptiesTheRingAndZeroesThePendingTail) {
    auto ring = std::make_unique<BigRing>("MPXD.quadReconstructionBuffer", nullptr);
    const std::vector<float> frame(4096, 1.0f);
    ring->writeOverlapped(frame.data());
    ring->writeOverlapped(frame.data());
    ring->reset();
    EXPECT_EQ(ring->writeCount(), 0u);
    EXPECT_EQ(ring->readCount(), 0u);
    // After a reset the next frame joins onto silence, as after construction.
    ring->writeOverlapped(frame.data());
    std::vector<float> out(3072);
    ring->readSliding(out.data(), 3072, 3072);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 1.0f; }));
}
