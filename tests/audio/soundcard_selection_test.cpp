#include "LoggedConfig.h"
#include "audio/SoundcardSelection.h"
#include "audio/SoundcardStreamControl.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using kestrava::audio::AudioSource;
using kestrava::audio::SoundcardSourceFactory;
using kestrava::audio::SoundcardStreamControl;
using kestrava::audio::selectSoundcard;

using kestrava::transport::TRPSender;

namespace {

// The stream part of a fake sound-card source: records the requests it gets. (A member, not a
// second base: behind the multi-megabyte audio source, a base's offset would be beyond what the
// undefined-behaviour checker accepts for a vtable.)
struct FakeStream : SoundcardStreamControl {
    explicit FakeStream(std::int32_t index) : deviceIndex(index) {}
    void requestDevice(std::int32_t index) override {
        deviceIndex = index;
        attempts = 0;
        reopen = true;
        ++releases;
    }
    bool isActive() const override { return active; }
    bool workerRunning() const override { return worker; }
    void start() override {
        ++starts;
        active = true;
        worker = true;
    }

    std::int32_t deviceIndex;
    std::int32_t attempts = 3;
    bool reopen = false;
    int releases = 0;
    int starts = 0;
    bool active = false;
    bool worker = false;
};

struct FakeSoundcardSource : AudioSource {
    FakeSoundcardSource(KestravaInstanceConfig* config, std::int32_t index)
        : AudioSource(nullptr, config, nullptr), stream(index) {
        signals.soundcardSourceFlag = true;
    }
    void start() override { stream.start(); }
    void stop() override { stream.active = false; }
    SoundcardStreamControl* soundcardStream() override { return &stream; }

    FakeStream stream;
};

struct OtherSource : AudioSource {
    explicit OtherSource(KestravaInstanceConfig* config) : AudioSource(nullptr, config, nullptr) {}
    void start() override {}
    void stop() override {}
};

struct SoundcardSelectionTest : testing::Test {
    SoundcardSourceFactory factory() {
        return [this](TRPSender*, std::int32_t index, KestravaInstanceConfig* config) -> std::unique_ptr<AudioSource> {
            built.push_back(index);
            if (failAllocation) return nullptr;
            return std::unique_ptr<AudioSource>(new FakeSoundcardSource(config, index));
        };
    }
    FakeStream* fake() { return &static_cast<FakeSoundcardSource*>(source.get())->stream; }

    LoggedConfig log;
    std::unique_ptr<AudioSource> source;
    std::vector<std::int32_t> built;
    bool failAllocation = false;
};

}  // namespace

TEST_F(SoundcardSelectionTest, FirstCallBuildsTheSourceWithoutStartingIt) {
    selectSoundcard(source, 4, nullptr, &log.config, factory());
    ASSERT_TRUE(source);
    EXPECT_EQ(built, std::vector<std::int32_t>{4});
    EXPECT_EQ(fake()->deviceIndex, 4);
    EXPECT_EQ(fake()->starts, 0);
    EXPECT_TRUE(source->signals.soundcardSourceFlag);
    EXPECT_FALSE(source->feedThreadHasExited());
    EXPECT_TRUE(log.fresh().empty());
}

TEST_F(SoundcardSelectionTest, LaterCallsRetargetTheSameSource) {
    selectSoundcard(source, 4, nullptr, &log.config, factory());
    AudioSource* first = source.get();
    for (std::int32_t index : {7, 7}) {  // the same index is reopened as well
        selectSoundcard(source, index, nullptr, &log.config, factory());
        EXPECT_EQ(source.get(), first);
        EXPECT_EQ(fake()->deviceIndex, index);
        EXPECT_EQ(fake()->attempts, 0);
        EXPECT_TRUE(fake()->reopen);
    }
    EXPECT_EQ(built.size(), 1u);
    EXPECT_EQ(fake()->releases, 2);
    EXPECT_EQ(fake()->starts, 0);  // not active: nothing to restart
    EXPECT_EQ(log.fresh(), (std::vector<std::string>{"Changing soundcard to index 7", "Changing soundcard to index 7"}));
    EXPECT_EQ(log.sink->records[log.sink->records.size() - 2].level, KestravaLogger::Info);
}

TEST_F(SoundcardSelectionTest, AnActiveStreamWithoutWorkerIsStartedAgain) {
    selectSoundcard(source, 1, nullptr, &log.config, factory());
    fake()->active = true;
    fake()->worker = true;
    selectSoundcard(source, 2, nullptr, &log.config, factory());
    EXPECT_EQ(fake()->starts, 0);
    fake()->worker = false;
    selectSoundcard(source, 3, nullptr, &log.config, factory());
    EXPECT_EQ(fake()->starts, 1);
    EXPECT_TRUE(fake()->workerRunning());
}

TEST_F(SoundcardSelectionTest, FailedAllocationLeavesNoSourceAndIsRetried) {
    failAllocation = true;
    selectSoundcard(source, 5, nullptr, &log.config, factory());
    EXPECT_FALSE(source);
    failAllocation = false;
    selectSoundcard(source, 6, nullptr, &log.config, factory());
    ASSERT_TRUE(source);
    EXPECT_EQ(built, (std::vector<std::int32_t>{5, 6}));
    EXPECT_EQ(fake()->deviceIndex, 6);
}

TEST_F(SoundcardSelectionTest, AnotherKindOfSourceIsLeftAlone) {
    source.reset(new OtherSource(&log.config));
    AudioSource* other = source.get();
    selectSoundcard(source, 2, nullptr, &log.config, factory());
    EXPECT_EQ(source.get(), other);
    EXPECT_TRUE(built.empty());
    EXPECT_EQ(log.fresh(),
              std::vector<std::string>{"Attempt to change audio source mode not allowed for soundcard audio source"});
    EXPECT_EQ(log.sink->records[log.sink->records.size() - 2].level, KestravaLogger::Critical);
}
