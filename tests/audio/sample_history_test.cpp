#include "AllocationCounter.h"
#include "WaitUntil.h"
#include "audio/Audio.h"
#include "audio/CopyScaled32768.h"
#include "audio/InputHistories.h"
#include "audio/InterfaceSampleHook.h"
#include "logging/KestravaInstanceConfig.h"
#include "audio/OldSamples.h"
#include "platform/AlignedNew.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

using kestrava::audio::Audio;
using kestrava::audio::HistoryBuffer;
using kestrava::audio::InputHistories;
using kestrava::audio::InterfaceSampleHook;
using kestrava::audio::OldSamples;
using kestrava::audio::SampleHook;
using kestrava::audio::copyScaled32768;
using kestrava::audio::pushToHook;

namespace {

std::shared_ptr<OldSamples> makeHistory(bool events) { return kestrava::makeAligned<OldSamples>(events); }

std::vector<float> constantBlock(std::size_t n, float value) { return std::vector<float>(n, value); }

// Pushes `count` samples of value v / 32768 through the hook, so that the history stores v.
void pushStored(SampleHook& hook, std::int32_t count, float stored) {
    const auto block = constantBlock(static_cast<std::size_t>(count), stored / 32768.0f);
    hook.push(block.data(), count);
}

}  // namespace

TEST(SampleHistory, NewHistoryHoldsTinyValuesEverywhere) {
    for (bool events : {false, true}) {
        auto history = makeHistory(events);
        ASSERT_TRUE(history);
        EXPECT_EQ(history->getSize(), 52672);
        EXPECT_EQ(history->ringCapacity(), 52672);
        EXPECT_EQ(history->getWriteIndex(), 0);
        EXPECT_EQ(history->rateFactor, 1);
        EXPECT_EQ(history->hasReaderEvents(), events);
        EXPECT_EQ(history->triggerAdvance[30], -1);
        EXPECT_EQ(history->triggerPosition[0], -1);
        for (std::int32_t i = 0; i < 52672; ++i) ASSERT_EQ(history->slot(i), 1e-11f) << i;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(history.get()) % 64, 0u);
    }
}

TEST(SampleHistory, CopyScaledMultipliesBy32768AndAdvancesTheIndex) {
    const float source[4] = {1.0f, -0.5f, 0.25f, -1.0f};
    float destination[6] = {};
    std::int32_t index = 1;
    copyScaled32768(3, 1, index, source, destination);
    EXPECT_EQ(index, 4);
    EXPECT_EQ(destination[1], -16384.0f);
    EXPECT_EQ(destination[2], 8192.0f);
    EXPECT_EQ(destination[3], -32768.0f);
    copyScaled32768(0, 0, index, source, destination);
    copyScaled32768(-2, 0, index, source, destination);
    EXPECT_EQ(index, 4);
    EXPECT_EQ(destination[4], 0.0f);

    auto history = makeHistory(false);
    InterfaceSampleHook hook(history);
    hook.push(source, 2);
    EXPECT_EQ(history->slot(0), 32768.0f);
    EXPECT_EQ(history->slot(1), -16384.0f);
}

TEST(SampleHistory, PushesWrapTheRingAndCountEveryWrap) {
    const struct {
        const char* name;
        std::int32_t before;  // samples pushed first
        std::int32_t count;
        std::int32_t writeIndex;
        std::int32_t wraps;
    } cases[] = {
        {"nothing", 100, 0, 100, 0},
        {"ends exactly at the end", 52000, 672, 0, 1},
        {"crosses the end", 52000, 700, 28, 1},
        {"longer than the ring", 0, 2 * 52672 + 5, 5, 2},
    };
    for (const auto& c : cases) {
        auto history = makeHistory(false);
        InterfaceSampleHook hook(history);
        pushStored(hook, c.before, 1.0f);
        history->takeWrapCount();
        std::vector<float> block(static_cast<std::size_t>(c.count));
        for (std::int32_t i = 0; i < c.count; ++i) block[i] = static_cast<float>(i % 30000) / 32768.0f;
        hook.push(block.data(), c.count);
        EXPECT_EQ(history->getWriteIndex(), c.writeIndex) << c.name;
        EXPECT_EQ(history->getReadStart(), c.writeIndex) << c.name;
        EXPECT_EQ(history->getWrapCount(), c.wraps) << c.name;
        if (c.count > 0) {
            // The newest sample sits just before the write index; later samples overwrite earlier.
            const std::int32_t last = (c.writeIndex + 52672 - 1) % 52672;
            EXPECT_EQ(history->slot(last), static_cast<float>((c.count - 1) % 30000)) << c.name;
        }
    }
}

TEST(SampleHistory, EveryPushWakesEveryViewOnce) {
    auto history = makeHistory(true);
    InterfaceSampleHook hook(history);
    hook.push(nullptr, 0);  // even an empty block
    for (int view = 0; view < OldSamples::viewCount; ++view) {
        EXPECT_TRUE(history->waitForInput(view, std::chrono::milliseconds(0))) << view;
        EXPECT_FALSE(history->waitForInput(view, std::chrono::milliseconds(0))) << view;
    }
    auto silent = makeHistory(false);
    InterfaceSampleHook silentHook(silent);
    pushStored(silentHook, 10, 5.0f);
    EXPECT_FALSE(silent->waitForInput(0, std::chrono::milliseconds(0)));
    EXPECT_EQ(silent->slot(9), 5.0f);
}

TEST(SampleHistory, ReaderRequestsGrowTheHistoryAtTheNextPushAndCapture) {
    const struct {
        std::int32_t request;
        std::int32_t grown;
    } cases[] = {{100000, 128688}, {99999, 128672}, {52672, 52672}, {1000, 52672}};
    for (const auto& c : cases) {
        auto history = makeHistory(true);
        InterfaceSampleHook hook(history);
        pushStored(hook, 52000, 7.0f);
        history->requestSize(c.request);
        const bool grows = c.grown > 52672;
        EXPECT_EQ(history->growthPrepared(), grows) << c.request;
        EXPECT_EQ(history->ringCapacity(), 52672) << c.request;  // the writer swaps, not the reader
        pushStored(hook, 1000, 9.0f);
        EXPECT_EQ(history->ringCapacity(), c.grown) << c.request;
        EXPECT_EQ(history->resizePending(), grows) << c.request;
        EXPECT_EQ(history->getSize(), 52672) << c.request;  // still wraps at the old size
        EXPECT_EQ(history->getWriteIndex(), 328) << c.request;
        history->captureView(3);
        EXPECT_EQ(history->getSize(), c.grown) << c.request;
        EXPECT_FALSE(history->resizePending()) << c.request;
        if (grows) {
            EXPECT_EQ(history->slot(0), 9.0f);
            EXPECT_EQ(history->slot(51999), 7.0f);
            EXPECT_EQ(history->slot(52671), 9.0f);
            EXPECT_EQ(history->slot(52672), 1e-11f);
            EXPECT_EQ(history->slot(c.grown - 1), 1e-11f);
        }
    }
}

TEST(SampleHistory, NoFurtherGrowthWhileOneIsUnderWay) {
    auto history = makeHistory(false);
    InterfaceSampleHook hook(history);
    history->requestSize(60000);
    history->requestSize(200000);  // prepared already: nothing more
    pushStored(hook, 10, 1.0f);
    EXPECT_EQ(history->ringCapacity(), 88688);
    history->requestSize(300000);  // swapped, not committed: nothing more
    pushStored(hook, 10, 1.0f);
    EXPECT_EQ(history->ringCapacity(), 88688);
    // The capture commits and then prepares the growth still asked for.
    history->captureView(0);
    EXPECT_EQ(history->getSize(), 88688);
    EXPECT_TRUE(history->growthPrepared());
    pushStored(hook, 10, 1.0f);
    history->captureView(0);
    EXPECT_EQ(history->getSize(), 300016 + 28672);
}

TEST(SampleHistory, APinnedOldBufferDelaysTheCommit) {
    auto history = makeHistory(false);
    InterfaceSampleHook hook(history);
    pushStored(hook, 10, 3.0f);
    HistoryBuffer* held = history->pin(5);
    history->requestSize(60000);
    pushStored(hook, 10, 4.0f);
    history->captureView(5);
    EXPECT_TRUE(history->resizePending());
    EXPECT_EQ(history->getSize(), 52672);
    EXPECT_EQ(held->data[0].load(), 3.0f);  // still alive and readable
    history->unpin(5, held);
    history->captureView(5);
    EXPECT_FALSE(history->resizePending());
    EXPECT_EQ(history->getSize(), 88688);
}

TEST(SampleHistory, ReadsCopyTheWindowBeforeTheCapturedPosition) {
    auto history = makeHistory(false);
    InterfaceSampleHook hook(history);
    std::vector<float> ramp(60000);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<float>(i % 20000) / 32768.0f;
    hook.push(ramp.data(), 60000);  // wraps: write index 60000 - 52672 = 7328
    history->captureView(2);
    EXPECT_EQ(history->getViewPosition(2), 7328);
    std::vector<float> out(10000);
    ASSERT_EQ(history->read(2, 0, out.data(), 10000), 10000);
    for (std::int32_t i = 0; i < 10000; ++i) ASSERT_EQ(out[i], static_cast<float>((50000 + i) % 20000)) << i;
    ASSERT_EQ(history->read(2, 500, out.data(), 10), 10);
    EXPECT_EQ(out[0], static_cast<float>((59490) % 20000));
    EXPECT_EQ(history->read(2, 1, out.data(), 52672), 0);  // more than the history holds
    EXPECT_EQ(history->read(31, 0, out.data(), 10), 0);
}

TEST(SampleHistory, CircularCopyWrapsAtTheBufferEnd) {
    Audio audio;
    EXPECT_EQ(audio.blockLength, 14336);
    EXPECT_EQ(audio.circularLength, 14338);
    std::vector<float> source{1, 2, 3, 4, 5, 6};
    std::vector<float> circular(8, 0.0f);
    audio.blockLength = 6;
    audio.circularLength = 8;
    audio.circularSource = source.data();
    audio.circularBuffer = circular.data();
    audio.circularIndex = 6;
    audio.writeCircular();
    EXPECT_EQ(circular, (std::vector<float>{3, 4, 5, 6, 0, 0, 1, 2}));
    EXPECT_EQ(audio.circularIndex, 4);
    audio.blockLength = 0;
    audio.writeCircular();
    EXPECT_EQ(audio.circularIndex, 4);
}

// Ten seconds of 192 kHz input in 1024-sample blocks against four readers that keep asking for
// more room: the writer never allocates, readers only ever see tiny initial values or samples
// that were written, and the history ends grown.
TEST(SampleHistoryStress, WriterWithFourGrowingReaders) {
    auto history = makeHistory(true);
    InterfaceSampleHook hook(history);
    constexpr std::int32_t blocks = 192000 * 10 / 1024;
    std::atomic<bool> writing{true};
    std::atomic<std::int64_t> badValues{0};
    std::atomic<std::int64_t> reads{0};
    std::atomic<std::int32_t> largestSize{0};
    std::vector<std::thread> readers;
    for (int view = 0; view < 4; ++view) {
        readers.emplace_back([&, view] {
            std::vector<float> window(4096);
            for (std::int32_t round = 0; writing.load(); ++round) {
                history->waitForInput(view, std::chrono::milliseconds(5));
                history->requestSize(52672 + (round % 64) * 3000 + view * 1000);
                history->captureView(view);
                std::int32_t seen = history->getSize();
                std::int32_t largest = largestSize.load();
                while (seen > largest && !largestSize.compare_exchange_weak(largest, seen)) {
                }
                if (history->read(view, round % 100, window.data(), 4096) == 0) continue;
                reads.fetch_add(1);
                for (float v : window) {
                    if (v != 1e-11f && (v != std::floor(v) || v < 0.0f || v >= 1000.0f)) badValues.fetch_add(1);
                }
            }
        });
    }
    std::int64_t writerAllocations = 0;
    std::thread writer([&] {
        std::vector<float> block(1024);
        allocationCounter::countThisThread(true);
        const std::int64_t before = allocationCounter::count();
        for (std::int32_t b = 0; b < blocks; ++b) {
            for (std::int32_t i = 0; i < 1024; ++i) block[i] = static_cast<float>((b * 1024 + i) % 1000) / 32768.0f;
            hook.push(block.data(), 1024);
            // Keep the readers in step (one round per 8 blocks), so that they grow the history
            // while the writer runs.
            while (reads.load() < b / 8) std::this_thread::yield();
        }
        writerAllocations = allocationCounter::count() - before;
        allocationCounter::countThisThread(false);
    });
    writer.join();
    writing = false;
    for (auto& r : readers) r.join();
    EXPECT_EQ(writerAllocations, 0);
    EXPECT_EQ(badValues.load(), 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_GT(largestSize.load(), 52672 + 28672);  // grown more than once while writing
    EXPECT_EQ(history->getSize() % 16, 0);
}

TEST(InputHistories, HookSlotsFeedTheirOwnHistory) {
    KestravaInstanceConfig config(192000, 2040);
    const InputHistories histories = InputHistories::install(config);
    ASSERT_TRUE(histories.rawInputHistory && histories.inputHistory);
    EXPECT_FALSE(histories.rawInputHistory->hasReaderEvents());
    EXPECT_TRUE(histories.inputHistory->hasReaderEvents());
    const float raw[3] = {0.5f, 0.5f, 0.5f};
    const float gained[2] = {-1.0f, -1.0f};
    pushToHook(config.sampleHooks[InputHistories::rawInputSlot], raw, 3);
    pushToHook(config.sampleHooks[InputHistories::inputSlot], gained, 2);
    pushToHook(config.sampleHooks[2], raw, 3);  // an empty slot is skipped
    EXPECT_EQ(histories.rawInputHistory->getWriteIndex(), 3);
    EXPECT_EQ(histories.rawInputHistory->slot(2), 16384.0f);
    EXPECT_EQ(histories.inputHistory->getWriteIndex(), 2);
    EXPECT_EQ(histories.inputHistory->slot(1), -32768.0f);
    EXPECT_TRUE(histories.inputHistory->waitForInput(29, std::chrono::milliseconds(0)));
    histories.captureView(4);
    EXPECT_EQ(histories.inputHistory->getViewPosition(4), 2);
    EXPECT_EQ(histories.rawInputHistory->getViewPosition(4), 3);
}
