#include "DemodSourceSupport.h"
#include "audio/AllocationCounter.h"
#include "audio/demod/DemodTestSupport.h"
#include "audio/SampleHook.h"
#include "logging/KestravaStatus.h"
#include "logging/StatusMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using kestrava::audio::demod::MPXD;

using kestrava::audio::SampleHook;

namespace {

// The stand-alone status object, counting the input-level reports it is given.
class CountingStatus : public StandaloneKestravaStatus {
public:
    using StandaloneKestravaStatus::StandaloneKestravaStatus;
    void onInputLevel(bool levelOff, float measured) override {
        ++reports;
        StandaloneKestravaStatus::onInputLevel(levelOff, measured);
    }
    int reports = 0;
};

// A 192 kHz instance with the stand-alone status object and a demodulating source.
struct InputStage {
    InputStage() { logged.config.setStatus(status); }

    // Chunks of 1024 samples whose largest absolute value is `peak` (a negative sample).
    void feedChunks(float peak, int chunks) {
        std::vector<float> chunk(1024);
        for (int i = 0; i < chunks; ++i) {
            std::fill(chunk.begin(), chunk.end(), 0.25f * peak);
            chunk[100] = -peak;
            source->feedInput(chunk.data(), 1024);
        }
    }

    // The input-level status text (key 6) without its time prefix; empty when there is none.
    std::string levelStatus() const {
        for (const StatusMessage& m : logged.config.statusMessages.bufferedMessages()) {
            if (m.key == StatusKey::InputLevel) return std::string(m.text).substr(20);
        }
        return {};
    }

    // Every log text so far (the marker shows that the logger thread has passed them all).
    std::vector<std::string> logTexts() {
        const std::string marker = "-- marker " + std::to_string(++markers);
        logged.config.logger.log(1, KestravaLogger::Info, marker);
        return logged.sink->waitFor(marker);
    }

    LoggedConfig logged;
    std::shared_ptr<CountingStatus> status = std::make_shared<CountingStatus>(&logged.config);
    std::unique_ptr<TestSource> source = makeSource(logged.config);
    int markers = 0;
};

std::vector<std::string> startingWith(const std::vector<std::string>& texts, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& t : texts) {
        if (t.rfind(prefix, 0) == 0) found.push_back(t);
    }
    return found;
}

// Keeps every block it is handed; sized for the test up front.
class RecordingHook : public SampleHook {
public:
    void push(const float* block, std::int32_t count) override {
        counts.push_back(count);
        samples.insert(samples.end(), block, block + count);
    }
    std::vector<std::int32_t> counts;
    std::vector<float> samples;
};

}  // namespace

// The first window after the first gain lasts one second at the nominal rate and ends only when
// the count exceeds it: at 192,512 samples of 1024-sample chunks.
TEST(InputStage, PeakCheckAtTheEndOfTheFirstWindow) {
    const struct {
        float peak;
        const char* status;  // "" for in range
        const char* logged;  // "" for none
    } cases[] = {
        {0.99f, "", ""},
        {1.0f, "", ""},
        {1.0001f, "Input level too high! Measured 100.01%, decrease input gain with 0.01%.",
         "Input peak level off: measured 1.0001"},
        {0.98f, "Input level too low! Measured 98.00%, increase input gain with 2.00%.",
         "Input peak level off: measured 0.98"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.peak);
        InputStage stage;
        stage.feedChunks(c.peak, 187);
        EXPECT_EQ(stage.levelStatus(), "") << "191,488 samples do not end the window";
        stage.feedChunks(c.peak, 1);
        EXPECT_EQ(stage.levelStatus(), c.status);
        const auto lines = startingWith(stage.logTexts(), "Input peak level");
        if (*c.logged == '\0') {
            EXPECT_TRUE(lines.empty());
        } else {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0].rfind(c.logged, 0), 0u) << lines[0];
        }
        EXPECT_EQ(stage.source->peakWindowSamples(), 2u * 192000u) << "the next window is twice as long";
    }
}

// Out of range, the user changes the gain: a fresh one-second window judges the new level and
// reports that it is back in range.
TEST(InputStage, GainChangeStartsAFreshWindowAndReportsTheReturn) {
    InputStage stage;
    stage.feedChunks(0.5f, 188);
    EXPECT_EQ(stage.levelStatus(), "Input level too low! Measured 50.00%, increase input gain with 50.00%.");

    stage.logged.config.engine.inputGain = 2.0f;
    stage.feedChunks(0.5f, 187);
    EXPECT_EQ(stage.source->peakWindowSamples(), 192000u);
    stage.feedChunks(0.5f, 1);
    EXPECT_EQ(stage.levelStatus(), "Input level is now OK. Measured 100.00%");
    const auto lines = startingWith(stage.logTexts(), "Input peak level");
    EXPECT_EQ(lines, (std::vector<std::string>{"Input peak level off: measured 0.5", "Input peak level OK: measured 1"}));
}

// A level that stays out of range is logged once but reported to the status object after every
// window; the windows keep doubling.
TEST(InputStage, PersistentOffLevelLogsOnceAndReportsEveryWindow) {
    InputStage stage;
    stage.feedChunks(1.5f, 188);
    stage.feedChunks(1.5f, 375);
    EXPECT_EQ(stage.status->reports, 1) << "384,000 more samples do not end the second window";
    stage.feedChunks(1.5f, 1);
    EXPECT_EQ(stage.status->reports, 2);
    EXPECT_EQ(stage.source->peakWindowSamples(), 4u * 192000u);
    EXPECT_EQ(stage.levelStatus(), "Input level too high! Measured 150.00%, decrease input gain with 50.00%.");
    EXPECT_EQ(startingWith(stage.logTexts(), "Input peak level").size(), 1u);
}

// The gain is applied to the samples that go on: to the second hook and into the demodulator's
// input ring, in place; an empty call still pushes (an empty block), a long one is handed on whole.
TEST(InputStage, GainedSamplesReachTheHookAndTheDemodulator) {
    InputStage stage;
    auto hook = std::make_shared<RecordingHook>();
    hook->samples.reserve(4096);
    hook->counts.reserve(8);
    stage.logged.config.sampleHooks[1] = hook;
    stage.logged.config.engine.inputGain = 1.5f;

    std::vector<float> input(3524);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(i % 97) * 0.003f - 0.1f;
    std::vector<float> block = input;
    stage.source->feedInput(block.data(), 1024);
    stage.source->feedInput(block.data() + 1024, 0);
    stage.source->feedInput(block.data() + 1024, 2500);

    EXPECT_EQ(hook->counts, (std::vector<std::int32_t>{1024, 0, 2500}));
    MPXD& demod = stage.source->demodulatorState();
    ASSERT_EQ(demod.inputBuffer().available(), input.size()) << "short of a frame: nothing consumed";
    for (std::size_t i = 0; i < input.size(); ++i) {
        ASSERT_EQ(hook->samples[i], input[i] * 1.5f) << i;
        ASSERT_EQ(demod.inputBuffer().at(i), input[i] * 1.5f) << i;
        ASSERT_EQ(block[i], input[i] * 1.5f) << "gained in place, " << i;
    }
    stage.logged.config.sampleHooks[1].reset();
}

// The first call hands the demodulator the input rate and rewinds it; so does every later change,
// and only a change.
TEST(InputStage, InputRateChangeReachesTheDemodulator) {
    InputStage stage;
    const auto resets = [&] {
        const auto texts = stage.logTexts();
        return std::count(texts.begin(), texts.end(), "Demodulator reset");
    };
    stage.feedChunks(0.5f, 1);
    EXPECT_EQ(resets(), 1);
    EXPECT_EQ(stage.source->demodulatorState().audioMask().sampleRate, 192000u);
    stage.feedChunks(0.5f, 1);
    EXPECT_EQ(resets(), 1);
    stage.logged.config.values.inputSampleRate = 176400;
    stage.feedChunks(0.5f, 1);
    EXPECT_EQ(resets(), 2);
    EXPECT_EQ(stage.source->demodulatorState().audioMask().sampleRate, 176400u);
}

// The callback thread's work allocates nothing: plain chunks, the first call's rate change, and
// the end of a peak window with its log line and status report.
TEST(InputStage, AllocatesNothing) {
    InputStage stage;
    std::vector<float> chunk(1024);
    allocationCounter::countThisThread(true);
    const std::int64_t before = allocationCounter::count();
    for (int i = 0; i < 188; ++i) {
        std::fill(chunk.begin(), chunk.end(), 0.5f);
        stage.source->feedInput(chunk.data(), 1024);
    }
    const std::int64_t allocations = allocationCounter::count() - before;
    allocationCounter::countThisThread(false);
    EXPECT_EQ(allocations, 0);
    EXPECT_NE(stage.levelStatus(), "") << "the window ended inside the counted calls";
}
