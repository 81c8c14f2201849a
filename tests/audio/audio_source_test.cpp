#include "LoggedConfig.h"
#include "WaitUntil.h"
#include "audio/AudioSource.h"
#include "audio/ExponentialAverage.h"
#include "audio/InputRateMeter.h"
#include "audio/RdsCarrierTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using kestrava::audio::AudioSource;
using kestrava::audio::BlockView;
using kestrava::audio::DemodulatedSample;
using kestrava::audio::EncodeStep;
using kestrava::audio::ExponentialAverage;
using kestrava::audio::InputRateMeter;
using kestrava::audio::RdsCarrierTables;

namespace {

struct TestSource : AudioSource {
    using AudioSource::AudioSource;
    void start() override {}
    void stop() override {}
};

// Stands in for the encode step: records every block it is given. `left` of every generated
// record carries its sequence number. A gate can hold the step (the feed thread has read the
// block out of the ring by then).
class RecordingEncodeStep : public EncodeStep {
public:
    struct Block {
        std::uint32_t count;
        std::uint32_t rate;
        float first;
        bool inOrder;     // consecutive records
        bool increasing;  // never an older record after a newer one
        bool forcedReset;
    };

    std::int32_t encodeAndSendBlock(const BlockView& block) override {
        {
            std::unique_lock lock(mutex);
            entered = true;
            changed.notify_all();
            changed.wait(lock, [this] { return !holding; });
        }
        const DemodulatedSample* r = block.records;
        bool inOrder = true;
        bool increasing = true;
        for (std::size_t i = 1; i < block.count; ++i) {
            inOrder &= r[i].left == r[0].left + static_cast<float>(i);
            increasing &= r[i].left > r[i - 1].left;
        }
        const bool reset = block.signals->forceReset.exchange(false);
        std::lock_guard lock(mutex);
        blocks.push_back({block.count, block.inputRate, r[0].left, inOrder, increasing, reset});
        return static_cast<std::int32_t>(block.count);
    }

    std::size_t blockCount() {
        std::lock_guard lock(mutex);
        return blocks.size();
    }
    std::vector<Block> snapshot() {
        std::lock_guard lock(mutex);
        return blocks;
    }
    void hold() {
        std::lock_guard lock(mutex);
        holding = true;
        entered = false;
    }
    bool waitEntered() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [this] { return entered; });
    }
    void release() {
        std::lock_guard lock(mutex);
        holding = false;
        changed.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Block> blocks;
    bool holding = false;
    bool entered = false;
};

struct AudioSourceTest : testing::Test {
    std::unique_ptr<TestSource> makeSource(KestravaInstanceConfig& config) {
        auto step = std::make_unique<RecordingEncodeStep>();
        recorder = step.get();
        return std::unique_ptr<TestSource>(new TestSource(nullptr, &config, std::move(step)));
    }
    // Records numbered from `first`, as the demodulator hands them over (3072 per frame).
    static std::vector<DemodulatedSample> records(std::uint32_t first, std::uint32_t n) {
        std::vector<DemodulatedSample> v(n);
        for (std::uint32_t i = 0; i < n; ++i) v[i] = {static_cast<float>(first + i), 0, 0, 0, 0, 0.5f};
        return v;
    }
    LoggedConfig log;
    RecordingEncodeStep* recorder = nullptr;
};

}  // namespace

TEST_F(AudioSourceTest, BlocksFollowTheInputRateWithinTheBuffers) {
    const struct {
        std::int32_t nominal;
        std::int32_t blockLength;
        std::int32_t inputRate;
        std::uint32_t block;
    } cases[] = {
        {192000, 2040, 192000, 2040},
        {192000, 2040, 176400, 1874},
        {176400, 1911, 176400, 1911},
        {192000, 2040, 0, 2040},           // no input rate yet: the nominal one
        {192000, 2040, 1000000, 8192},     // bounded by the block buffer
        {192000, 2040, 90, 1},             // never a block of 0
    };
    for (const auto& c : cases) {
        KestravaInstanceConfig config(c.nominal, c.blockLength);
        config.values.inputSampleRate = c.inputRate;
        auto source = makeSource(config);
        EXPECT_EQ(source->blockSize(), c.block) << c.inputRate;
    }
}

TEST_F(AudioSourceTest, NewSourceHoldsDefaultRecordsAndAsksForAReset) {
    auto source = makeSource(log.config);
    EXPECT_EQ(source->sampleRate, 192000u);
    EXPECT_EQ(source->codecSampleRate, 38400u);
    EXPECT_TRUE(source->signals.forceReset);
    EXPECT_FALSE(source->signals.soundcardSourceFlag);
    EXPECT_EQ(source->blockFrames[8191].mpx, 1.0f);
    EXPECT_EQ(source->blockFrames[8191].rds, 0.0f);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(source.get()) % 64, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&source->inputBuffer.at(0)) % 64, 0u);
}

TEST_F(AudioSourceTest, LegacyCodecVersionsAreReportedOnce) {
    const std::string text =
        "You're using a legacy Kestrava stream format. Update all encoders and decoders and then switch to the new "
        "format for improved audio quality and codec behavior.";
    for (int version : {0, 1, 2, 3}) {
        log.config.engine.codecVersion = version;
        const auto before = log.config.statusMessages.bufferedMessages().size();
        makeSource(log.config).reset();
        const auto messages = log.config.statusMessages.bufferedMessages();
        const auto logged = log.fresh();
        const bool legacy = version < 2;
        ASSERT_EQ(messages.size(), before + (legacy ? 1 : 0)) << version;
        EXPECT_EQ(std::count(logged.begin(), logged.end(), text), legacy ? 1 : 0) << version;
        if (legacy) {
            EXPECT_EQ(messages.back().type, 0);
            EXPECT_EQ(messages.back().key, 0);
            EXPECT_EQ(std::string(messages.back().text), text);
        }
    }
}

TEST(RdsCarrierTables, RowsFollowTheHarmonicsOfTheTurn) {
    auto tables = std::make_unique<RdsCarrierTables>();
    const auto& h = tables->harmonics;
    EXPECT_EQ(h[0][0], 0.0f);
    EXPECT_EQ(h[0][1], 0.0f);
    EXPECT_EQ(h[0][2], 0.0f);
    EXPECT_EQ(h[0][3], 1.0f);
    EXPECT_EQ(tables->thirdCosine[0], 1.0f);
    EXPECT_NEAR(h[1][0], 0.0015340, 1e-7);
    EXPECT_NEAR(h[1][1], 0.0030680, 1e-7);
    EXPECT_NEAR(h[1][2], 0.0046019, 1e-7);
    EXPECT_NEAR(h[1][3], 0.9999953, 1e-7);
    EXPECT_NEAR(tables->thirdCosine[1], 0.9999894, 1e-7);
    const float quarter[4] = {1.0f, 0.0f, -1.0f, -1.0f};
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(h[1024][j], quarter[j], 1e-15) << j;
    EXPECT_NEAR(tables->thirdCosine[1024], 0.0f, 1e-15);
    for (int j = 0; j < 4; ++j) {
        EXPECT_NEAR(h[4096][j], h[0][j], 1e-15) << j;
        EXPECT_NEAR(h[4097][j], h[1][j], 1e-15) << j;
    }
    EXPECT_NEAR(tables->thirdCosine[4097], tables->thirdCosine[1], 1e-15);
}

TEST(ExponentialAverage, SeededRateHoldsUntilTenInputsHaveBeenSkipped) {
    ExponentialAverage fast(true, 0.999, 0.001);
    fast.seedRate(192000.0);
    EXPECT_EQ(fast.value(), 192000.0);
    for (int i = 0; i < 10; ++i) fast.add(100.0);
    EXPECT_EQ(fast.value(), 192000.0);
    fast.add(0.0);  // ignored, not counted as a skip either
    EXPECT_EQ(fast.value(), 192000.0);
    fast.add(191000.0);
    // weight 0.999 + 0.001, sum 0.001/191000 + 0.999/192000: a harmonic mean.
    EXPECT_DOUBLE_EQ(fast.value(), 1.0 / (0.001 / 191000.0 + 0.999 / 192000.0));

    ExponentialAverage slow(true, 0.9999, 0.0001);
    EXPECT_EQ(slow.value(), 0.0);
    slow.add(0.0);
    EXPECT_EQ(slow.value(), 0.0);
    slow.add(176400.0);
    EXPECT_DOUBLE_EQ(slow.value(), 176400.0);

    ExponentialAverage plain(false, 0.5, 0.5);
    plain.add(4.0);
    plain.add(8.0);
    EXPECT_DOUBLE_EQ(plain.value(), (4.0 * 0.5 * 0.5 + 8.0 * 0.5) / (0.5 * 0.5 + 0.5));

    ExponentialAverage guarded(true, 0.999, 0.001);
    guarded.seedRate(0.0);  // no nominal rate: empty, never a division by 0
    EXPECT_EQ(guarded.value(), 0.0);
    guarded.skip = 0;
    guarded.add(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(guarded.value(), 0.0);
}

TEST_F(AudioSourceTest, RateWindowsFeedTheAveragesOrAreDropped) {
    InputRateMeter meter(192000, 0);
    EXPECT_EQ(meter.fastRate(), 192000.0);
    EXPECT_EQ(meter.slowRate(), 0.0);
    std::int64_t t = 0;
    // Eleven one-second windows: the first ten are skipped by the fast average.
    for (int w = 0; w < 11; ++w) {
        t += 1'000'000'000;
        meter.addFrames(96000, t - 500'000'000, log.config.logger);
        meter.addFrames(96000 + 10, t, log.config.logger);  // 192,010 frames per second
    }
    const double expected = 1.0 / (0.001 / 192010.0 + 0.999 / 192000.0);
    EXPECT_DOUBLE_EQ(meter.fastRate(), expected);
    EXPECT_NEAR(meter.slowRate(), 192000.0, 1.0);
    // A window of 2 s is logged and dropped.
    t += 2'000'000'000;
    meter.addFrames(192000, t, log.config.logger);
    EXPECT_DOUBLE_EQ(meter.fastRate(), expected);
    const auto texts = log.fresh();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "System time offset detected, time difference is 2 in sample rate measurement");
    meter.requestReseed();
    meter.addFrames(1, t + 1, log.config.logger);
    EXPECT_EQ(meter.fastRate(), 192000.0);
    EXPECT_EQ(meter.slowRate(), 0.0);
}

// Ten seconds of 192 kHz records, in frames of 3072 as the demodulator writes them: the feed
// thread claims 941 blocks of 2040 (1,920,000 / 2040 = 941.2), each holding the next records.
TEST_F(AudioSourceTest, TenSecondsOfRecordsGiveOneBlockPer2040) {
    auto source = makeSource(log.config);
    const std::uint32_t total = 192000 * 10;
    for (std::uint32_t first = 0; first < total; first += 3072) {
        const std::uint32_t n = std::min<std::uint32_t>(3072, total - first);
        ASSERT_TRUE(waitUntil([&] { return AudioSource::inputCapacity - source->inputBuffer.available() >= n; }));
        const auto frame = records(first, n);
        ASSERT_TRUE(source->writeInput(frame.data(), n));
    }
    ASSERT_TRUE(waitUntil([&] { return recorder->blockCount() == 941; }));
    ASSERT_TRUE(waitUntil([&] { return source->inputSemaphore.isWaiting(); }));
    const auto blocks = recorder->snapshot();
    ASSERT_EQ(blocks.size(), 941u);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        ASSERT_EQ(blocks[b].count, 2040u) << b;
        ASSERT_EQ(blocks[b].rate, 192000u) << b;
        ASSERT_EQ(blocks[b].first, static_cast<float>(b * 2040)) << b;
        ASSERT_TRUE(blocks[b].inOrder) << b;
        ASSERT_EQ(blocks[b].forcedReset, b == 0) << b;
    }
    EXPECT_EQ(source->inputSemaphore.count(), static_cast<std::int32_t>(total - 941 * 2040));
    EXPECT_TRUE(log.fresh().empty());
}

TEST_F(AudioSourceTest, AnOverflowDropsTheWaitingRecordsAndTheFeedGoesOn) {
    auto source = makeSource(log.config);
    recorder->hold();
    std::uint32_t next = 0;
    // The feed thread holds its first block (read out of the ring) while the ring fills: 63
    // frames fit beside it, the 64th not.
    for (int frame = 0; frame < 62; ++frame, next += 3072) {
        ASSERT_TRUE(source->writeInput(records(next, 3072).data(), 3072));
    }
    ASSERT_TRUE(recorder->waitEntered());
    ASSERT_TRUE(source->writeInput(records(next, 3072).data(), 3072));
    next += 3072;
    EXPECT_FALSE(source->writeInput(records(next, 3072).data(), 3072));
    next += 3072;
    EXPECT_TRUE(source->signals.forceReset);
    EXPECT_TRUE(source->takeInputReset());
    EXPECT_EQ(source->inputSemaphore.count(), 0);
    recorder->release();
    // The held block goes out whole and takes the reset request (the block being coded when the
    // input overflows carries it); the waiting records are dropped and the next blocks start afresh.
    ASSERT_TRUE(waitUntil([&] { return recorder->blockCount() == 1 && source->inputSemaphore.isWaiting(); }));
    const std::uint32_t restart = next;
    for (int frame = 0; frame < 2; ++frame, next += 3072) {
        ASSERT_TRUE(source->writeInput(records(next, 3072).data(), 3072));
    }
    ASSERT_TRUE(waitUntil([&] { return recorder->blockCount() == 4; }));
    const auto blocks = recorder->snapshot();
    EXPECT_EQ(blocks[0].first, 0.0f);
    EXPECT_TRUE(blocks[0].forcedReset);
    for (std::size_t b = 1; b < 4; ++b) {
        EXPECT_EQ(blocks[b].count, 2040u) << b;
        EXPECT_EQ(blocks[b].first, static_cast<float>(restart + (b - 1) * 2040)) << b;
        EXPECT_TRUE(blocks[b].inOrder) << b;
        EXPECT_FALSE(blocks[b].forcedReset) << b;
    }
    const auto texts = log.fresh();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Buffer too full: cannot write 3072 samples @ AudioSource.inputBuffer (writing 504)");
    EXPECT_EQ(texts[1], "Input buffer full, resetting buffers in audiosource");
}

// Without a feed thread the owner claims: every whole block that waits, in order, and nothing
// more. A claimed block whose records a reset of the ring dropped is not coded, is logged, and
// leaves the reset request for the next block.
TEST_F(AudioSourceTest, OwnerClaimsWaitingBlocksAndSkipsABlockTheRingCannotFill) {
    auto step = std::make_unique<RecordingEncodeStep>();
    RecordingEncodeStep& recorded = *step;
    TestSource source(nullptr, &log.config, std::move(step), AudioSource::FeedThread::None);
    ASSERT_TRUE(source.writeInput(records(0, 5000).data(), 5000));
    source.encodeWaitingBlocks();
    ASSERT_EQ(recorded.blockCount(), 2u);
    EXPECT_EQ(source.inputSemaphore.count(), 5000 - 2 * 2040);
    const auto blocks = recorded.snapshot();
    EXPECT_EQ(blocks[1].first, 2040.0f);
    EXPECT_TRUE(blocks[1].inOrder);
    EXPECT_FALSE(blocks[1].forcedReset);

    ASSERT_TRUE(source.writeInput(records(5000, 2000).data(), 2000));
    source.signals.forceReset = true;
    source.inputBuffer.requestReset();  // the ring drops its records, the count stays
    source.inputBuffer.applyPendingReset();
    source.encodeWaitingBlocks();
    EXPECT_EQ(recorded.blockCount(), 2u);
    EXPECT_TRUE(source.signals.forceReset);
    const auto texts = log.fresh();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "Not enough audio data to send: 0 2040");
}

TEST_F(AudioSourceTest, DestroyingTheSourceWakesAndJoinsTheWaitingFeedThread) {
    auto source = makeSource(log.config);
    ASSERT_TRUE(source->writeInput(records(0, 100).data(), 100));
    ASSERT_TRUE(waitUntil([&] { return source->inputSemaphore.isWaiting(); }));
    EXPECT_EQ(recorder->blockCount(), 0u);
    EXPECT_FALSE(source->feedThreadHasExited());
    const auto start = std::chrono::steady_clock::now();
    source.reset();
    // Far below the 2000 ms a polling shutdown would wait; the close wakes the thread at once.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// The demodulator outruns the feed thread: overflows and resets of the input come at random
// moments against the feed thread's claims and reads. Blocks never hold stale records, and
// ThreadSanitizer checks the hand-over.
TEST_F(AudioSourceTest, RepeatedOverflowsKeepBlocksFresh) {
    KestravaInstanceConfig config(192000, 2040);  // logger not enabled: overflows log nothing
    auto source = makeSource(config);
    std::uint32_t next = 0;
    int refused = 0;
    for (int frame = 0; frame < 400; ++frame, next += 3072) {
        if (source->writeInput(records(next, 3072).data(), 3072)) continue;
        ++refused;
        // Give the feed thread a chance to carry the reset out before the next round.
        waitUntil([&] { return source->inputBuffer.available() < AudioSource::inputCapacity / 2; });
    }
    // Two last frames with room to spare: they arrive whole.
    for (int frame = 0; frame < 2; ++frame, next += 3072) {
        ASSERT_TRUE(waitUntil([&] { return source->inputBuffer.available() < 100000; }));
        ASSERT_TRUE(source->writeInput(records(next, 3072).data(), 3072));
    }
    ASSERT_TRUE(waitUntil(
        [&] { return source->inputSemaphore.isWaiting() && source->inputSemaphore.count() < 2040; }));
    const auto blocks = recorder->snapshot();
    source.reset();
    std::size_t full = 0;
    float newest = -1.0f;
    for (const auto& b : blocks) {
        EXPECT_TRUE(b.increasing);
        EXPECT_GT(b.first, newest);  // later blocks hold later records
        newest = b.first;
        full += b.count == 2040;
    }
    EXPECT_GE(full, 2u);
    EXPECT_GE(newest, static_cast<float>(next - 3072 - 2040));
    RecordProperty("refusedWrites", refused);
}
