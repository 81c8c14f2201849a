#include "DemodSourceSupport.h"
#include "audio/demod/DemodTestSupport.h"
#include "audio/demod/DemodulatorCycle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

using kestrava::audio::demod::MPXD;
using kestrava::audio::demod::ratioOfPilotLevel;

using kestrava::audio::DemodulatedSample;

namespace {

constexpr std::size_t oneSecond = 192000;
// Frames of 4096 samples, 3072 apart: 62 fit into one second, each giving 3072 records.
constexpr std::uint64_t recordsOfOneSecond = 190464;
constexpr std::size_t recordsPerBlock = 2040;  // the feed thread claims whole blocks

// Composite input: a 19 kHz pilot of the given amplitude (after gain) and a 1 kHz tone.
std::vector<float> composite(float pilotAmplitude, float gain, std::size_t length) {
    std::vector<float> x(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / 192000.0;
        const double v = pilotAmplitude * std::sin(2.0 * std::numbers::pi * 19000.0 * t) +
                         0.2 * std::sin(2.0 * std::numbers::pi * 1000.0 * t);
        x[i] = static_cast<float>(v / gain);
    }
    return x;
}

std::size_t indexOf(const std::vector<std::string>& texts, const std::string& text, std::size_t from = 0) {
    for (std::size_t i = from; i < texts.size(); ++i) {
        if (texts[i] == text) return i;
    }
    return texts.size();
}

}  // namespace

TEST(DemodulatingSource, OneSecondGivesItsRecordsWithTheGainedInputAndThePilotLevel) {
    const struct {
        float pilot;
        float ratio;
    } cases[] = {{0.09f, 0.5f}, {0.045f, 0.25f}, {0.27f, 1.0f}};
    const float gain = 1.25f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pilot);
        LoggedConfig logged;
        logged.config.engine.inputGain = gain;
        auto step = std::make_unique<CollectingStep>(oneSecond);
        CollectingStep& collector = *step;
        auto source = makeSource(logged.config, std::move(step));
        const std::vector<float> input = composite(c.pilot, gain, oneSecond);
        feedInChunks(*source, input, 1024);

        const std::size_t claimed = recordsOfOneSecond / recordsPerBlock * recordsPerBlock;
        ASSERT_TRUE(eventually([&] {
            return source->inputBuffer.getWriteCount() == recordsOfOneSecond &&
                   collector.collected.load(std::memory_order_acquire) == claimed;
        }));
        // What is left cannot make another frame, so the count is final.
        EXPECT_EQ(source->demodulatorState().inputBuffer().available(), oneSecond - 62 * 3072);
        EXPECT_EQ(collector.resetAt, std::vector<std::size_t>{0}) << "the first write asks for a reset, later writes do not";

        std::size_t mismatches = 0;
        for (std::size_t i = 0; i < recordsOfOneSecond; ++i) {
            const DemodulatedSample& r = i < claimed ? collector.records[i] : source->inputBuffer.at(i);
            mismatches += r.mpx != input[i] * gain;
        }
        EXPECT_EQ(mismatches, 0u) << "composite field = input x gain, in order";
        EXPECT_NEAR(source->signals.pilotLevelRatio.load(), c.ratio, 0.01f);
        EXPECT_NEAR(logged.config.values.demodulatorLevel.load(), c.pilot, 0.002f) << "the level itself is not capped";
    }
}

TEST(DemodulatingSource, PilotLevelRatio) {
    const struct {
        float level;
        float ratio;
    } cases[] = {
        {0.09f, 0.5f}, {0.0f, 0.0f}, {0.18f, 1.0f}, {0.5f, 1.0f}, {std::numeric_limits<float>::quiet_NaN(), 1.0f},
    };
    for (const auto& c : cases) EXPECT_FLOAT_EQ(ratioOfPilotLevel(c.level), c.ratio) << c.level;
}

// 191,000 records wait unread when a cycle brings 3072 more: 1000 fit, the ring is reset, the
// demodulator rewinds its output rings, and the next cycle writes normally again.
TEST(DemodulatingSource, OverflowWritesWhatFitsThenResetsBothSides) {
    LoggedConfig logged;
    auto step = std::make_unique<GateStep>();
    GateStep& gate = *step;
    auto source = makeSource(logged.config, std::move(step));
    struct Opener {
        GateStep& gate;
        ~Opener() { gate.openGate(); }
    } opener{gate};

    std::vector<DemodulatedSample> unread(191000);
    ASSERT_TRUE(source->writeInput(unread.data(), 191000));
    ASSERT_TRUE(gate.waitEntered()) << "the feed thread holds its first block";
    ASSERT_EQ(source->inputSemaphore.count(), 191000 - static_cast<std::int32_t>(recordsPerBlock));
    // The held block was read out of the ring: make up for it.
    ASSERT_TRUE(source->writeInput(unread.data(), static_cast<std::uint32_t>(recordsPerBlock)));
    const std::uint64_t written = 191000u + recordsPerBlock;

    feedInChunks(*source, composite(0.09f, 1.0f, 4096), 1024);
    const std::vector<std::string> texts = logged.sink->waitFor("Demodulator reset", 2);
    const std::size_t tooFull = indexOf(texts, "Buffer too full: cannot write 3072 samples @ AudioSource.inputBuffer (writing 1000)");
    const std::size_t full = indexOf(texts, "Input buffer full, resetting buffers in audiosource", tooFull);
    const std::size_t reset = indexOf(texts, "Demodulator reset", full);
    EXPECT_LT(tooFull, full);
    EXPECT_LT(full, reset);
    EXPECT_LT(reset, texts.size());

    EXPECT_EQ(source->inputBuffer.getWriteCount(), written + 1000u) << "1000 of the 3072 records were written";
    EXPECT_EQ(source->inputSemaphore.count(), 0) << "the block is not released and the count is cleared";
    MPXD& demod = source->demodulatorState();
    EXPECT_EQ(demod.leftReconstructionBuffer().getWriteCount(), 0u);
    EXPECT_EQ(demod.quadReconstructionBuffer().getReadCount(), 0u);
    EXPECT_EQ(demod.inputBuffer().available(), 1024u) << "the input ring keeps its samples";

    // The feed thread carries out the reset once it claims again: every stale record is dropped.
    gate.openGate();
    ASSERT_TRUE(eventually([&] { return source->inputBuffer.available() == 0; }));
    feedInChunks(*source, composite(0.09f, 1.0f, 3072), 1024);
    ASSERT_TRUE(eventually([&] { return source->inputBuffer.getWriteCount() == written + 1000u + 3072u; }));
    // Released again: the feed thread claims one block of them and waits for the rest.
    EXPECT_TRUE(eventually([&] { return source->inputSemaphore.count() == 3072 - static_cast<std::int32_t>(recordsPerBlock); }));
}

// Sources torn down in every state: idle, with a frame waiting, in the middle of cycles, after a
// rate change. Each teardown must return (no lost stop request) and leave no thread running.
// The sources are built in one reused block: the sanitizers make a fresh 10 MB allocation per
// cycle slow. A thread left running on a torn-down source would race with the next one built
// over it.
TEST(DemodulatingSource, ManyCreateFeedDestroyCycles) {
    KestravaInstanceConfig config(192000, 2040);
    const std::vector<float> input = composite(0.09f, 1.0f, 3 * 4096);
    constexpr std::size_t size = (sizeof(TestSource) + 63) / 64 * 64;
    const std::unique_ptr<void, void (*)(void*)> block(std::aligned_alloc(64, size), std::free);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 1000; ++i) {
        TestSource* source = ::new (block.get()) TestSource(nullptr, &config, nullptr);
        source->start();
        config.values.inputSampleRate = (i % 7 == 0) ? 176400 : 192000;
        const std::size_t length = static_cast<std::size_t>(i % 4) * 4096;
        feedInChunks(*source, std::vector<float>(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(length)), 1024);
        source->stop();
        source->~TestSource();
    }
}
