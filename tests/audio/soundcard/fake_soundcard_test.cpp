#include "audio/soundcard/CompositeFileSignal.h"
#include "audio/soundcard/CompositeTestSignal.h"
#include "audio/soundcard/FakeSoundcardBackend.h"
#include "audio/soundcard/FakeSoundcardStream.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "audio/soundcard/SoundcardInputStream.h"
#include "LogCapture.h"
#include "audio/WaitUntil.h"
#include "logging/KestravaInstanceConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

using kestrava::audio::soundcard::CompositeFileSignal;
using kestrava::audio::soundcard::CompositeTestSignal;
using kestrava::audio::soundcard::FakeSoundcardBackend;
using kestrava::audio::soundcard::FakeSoundcardStream;
using kestrava::audio::soundcard::PacingClock;
using kestrava::audio::soundcard::PortaudioWrapper;
using kestrava::audio::soundcard::SoundcardInputStream;
using kestrava::audio::soundcard::realSteadyClock;

using kestrava::audio::InputRateMeter;
using kestrava::audio::SoundcardInputStage;

namespace {

// Virtual time: a sleep moves the clock on at once, so hours of pacing run in milliseconds.
class VirtualPacingClock final : public PacingClock {
public:
    std::int64_t nowNs() override { return now.load(); }
    void sleepNs(std::int64_t ns) override {
        sleeps.fetch_add(1);
        now.fetch_add(ns);
    }
    std::atomic<std::int64_t> now{5'000'000'000};
    std::atomic<int> sleeps{0};
};

struct PacingProbe {
    VirtualPacingClock* clock = nullptr;
    std::int64_t startNs = 0;
    std::uint64_t blocks = 0;
    std::uint64_t blockLimit = 0;
    std::uint64_t slowBlock = UINT64_MAX;  // this callback takes three block periods
    std::vector<double> deviationFrames;  // delivered frames minus 192,000 * t, per callback
    std::vector<int> sleepsAtBlock;
    std::atomic<bool> finished{false};
};

int probeCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* user) {
    auto* p = static_cast<PacingProbe*>(user);
    EXPECT_EQ(frames, 1024u);
    EXPECT_EQ(static_cast<const float*>(input)[0], 0.0f);
    const double t = static_cast<double>(p->clock->nowNs() - p->startNs) / 1e9;
    p->deviationFrames.push_back(static_cast<double>(p->blocks * 1024) - 192000.0 * t);
    p->sleepsAtBlock.push_back(p->clock->sleeps.load());
    if (p->blocks == p->slowBlock) p->clock->now.fetch_add(3 * 1024 * 1'000'000'000LL / 192000);
    ++p->blocks;
    return p->blocks < p->blockLimit ? paContinue : paComplete;
}

void finishedProbe(void* user) { static_cast<PacingProbe*>(user)->finished.store(true); }

}  // namespace

TEST(FakeSoundcard, PacesBlocksAtTheNominalRate) {
    VirtualPacingClock clock;
    PacingProbe probe;
    probe.clock = &clock;
    probe.startNs = clock.nowNs();
    probe.blockLimit = 1875;  // ten seconds at 187.5 blocks per second
    probe.slowBlock = 100;
    FakeSoundcardStream stream(nullptr, 192000.0, probeCallback, &probe, {}, clock);
    stream.setFinishedCallback(finishedProbe);
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return probe.finished.load(); }));
    stream.stop();
    EXPECT_EQ(probe.blocks, 1875u);
    // The last block is delivered at 1874 block periods of the schedule.
    EXPECT_NEAR(static_cast<double>(clock.nowNs() - probe.startNs) / 1e9, 1874.0 * 1024.0 / 192000.0, 1e-6);
    for (std::size_t i = 0; i < probe.deviationFrames.size(); ++i) {
        // Within one block of 192,000 * t, but for the two blocks the slow callback held up.
        const double limit = (i == 101 || i == 102) ? 2048.0 + 1.0 : 1024.0;
        ASSERT_LE(std::fabs(probe.deviationFrames[i]), limit) << i;
    }
    EXPECT_NEAR(probe.deviationFrames[101], -2048.0, 1.0);  // the clock ran ahead by two blocks
    // After the slow callback the next blocks come back to back, then pacing resumes.
    const auto& s = probe.sleepsAtBlock;
    EXPECT_EQ(s[100], s[101]);
    EXPECT_EQ(s[101], s[102]);
    EXPECT_LT(s[103], s[105]);
}

TEST(FakeSoundcard, RunsTheWholeInputPathBehindTheWrapper) {
    KestravaInstanceConfig config{192000, 2040};
    auto log = LogCapture::attach(config.logger);
    config.values.streamWaitSeconds = 0.001f;
    std::atomic<std::uint32_t> counter{0};
    auto signal = [&counter](float* block, std::uint32_t n) {
        for (std::uint32_t i = 0; i < n; ++i) block[i] = static_cast<float>(counter.fetch_add(1) % 1000) * 1e-3f;
    };
    PortaudioWrapper wrapper(std::make_unique<FakeSoundcardBackend>(&config, signal));
    wrapper.start(&config);
    ASSERT_EQ(wrapper.findDefaultInputDevice(config), 0);

    struct Stage final : SoundcardInputStage {
        void feedInput(float* samples, std::uint32_t count) override {
            for (std::uint32_t i = 0; i < count; ++i) {
                if (samples[i] != static_cast<float>(next % 1000) * 1e-3f) mismatches.fetch_add(1);
                ++next;
            }
            frames.fetch_add(count);
        }
        std::uint64_t next = 0;
        std::atomic<std::uint64_t> frames{0};
        std::atomic<int> mismatches{0};
    } stage;
    InputRateMeter rate(192000, realSteadyClock().nowNs());
    SoundcardInputStream stream(config, wrapper, 0, stage, rate);
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return stage.frames.load() >= 4 * 1024; }));
    stream.stop();
    EXPECT_EQ(stage.mismatches.load(), 0);
    EXPECT_EQ(stage.frames.load() % 1024, 0u);
    ASSERT_TRUE(log->waitFor("Soundcard callback loop stopped"));
    EXPECT_EQ(log->count("Running fake soundcard - you won't hear any audio."), 1);
    EXPECT_EQ(log->count("THIS IS FOR DEBUGGING PURPOSES ONLY."), 1);
    EXPECT_EQ(log->count("Opening input device #0 (\"Fake sound card\" @ Fake)"), 1);
}

TEST(FakeSoundcard, FileSignalLoopsItsLittleEndianFloats) {
    kestrava::test::TempDir dir;
    const auto path = (dir.path() / "composite.f32").string();
    // 0.5, -1.0, 2.0 as little-endian float32, then a stray byte that is no whole sample.
    const unsigned char bytes[] = {0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x00, 0x40, 0x7F};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    CompositeFileSignal signal(path);
    ASSERT_FALSE(signal.empty()) << signal.error();
    float block[5] = {};
    signal(block, 5);
    EXPECT_EQ(std::vector<float>(block, block + 5), (std::vector<float>{0.5f, -1.0f, 2.0f, 0.5f, -1.0f}));
    signal(block, 2);
    EXPECT_EQ(std::vector<float>(block, block + 2), (std::vector<float>{2.0f, 0.5f}));

    CompositeFileSignal missing((dir.path() / "none.f32").string());
    EXPECT_TRUE(missing.empty());
    EXPECT_FALSE(missing.error().empty());
    block[0] = 7.0f;
    missing(block, 1);
    EXPECT_EQ(block[0], 0.0f);
}

TEST(FakeSoundcard, FileSignalRefusesWhatIsNoRegularFileOfBoundedSize) {
    kestrava::test::TempDir dir;
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = (dir.path() / "large.f32").string();
    std::ofstream(large, std::ios::binary).put(0);
    std::filesystem::resize_file(large, CompositeFileSignal::maxFileBytes + 4);  // sparse
    const struct {
        std::string path, error;
    } cases[] = {
        {dir.path().string(), "is not a regular file"},
        {fifo, "is not a regular file"},  // without a writer: must not wait for one
        {"/dev/zero", "is not a regular file"},
        {"/proc/self/mem", "holds no 32-bit float sample"},
        {large, "is larger than 256 MiB"},
    };
    for (const auto& c : cases) {
        const CompositeFileSignal signal(c.path);
        EXPECT_TRUE(signal.empty()) << c.path;
        EXPECT_NE(signal.error().find(c.error), std::string::npos) << c.path << ": " << signal.error();
    }
    // A stop request ends the reading.
    const std::string small = (dir.path() / "small.f32").string();
    std::ofstream(small, std::ios::binary).write("\0\0\0\0", 4);
    const std::atomic<bool> stop{true};
    const CompositeFileSignal stopped(small, &stop);
    EXPECT_TRUE(stopped.empty());
    EXPECT_NE(stopped.error().find("stopped while reading"), std::string::npos) << stopped.error();
}

TEST(CompositeTestSignal, PeaksWhereTheEncodersInputCheckExpectsAMultiplex) {
    // The input check wants a sample peak of 0.99 to 1.0 within every window of a second or more.
    for (const double rate : {128000.0, 176400.0, 192000.0, 384000.0}) {
        CompositeTestSignal signal(rate);
        std::vector<float> second(static_cast<std::size_t>(rate));
        for (int s = 0; s < 3; ++s) {
            signal.generate(second.data(), second.size());
            float peak = 0.0f;
            for (const float x : second) peak = std::max(peak, std::fabs(x));
            EXPECT_GE(peak, 0.99f) << rate << " Hz, second " << s;
            EXPECT_LE(peak, 1.0f) << rate << " Hz, second " << s;
        }
    }
}
