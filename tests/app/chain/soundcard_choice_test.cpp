// The controller with the real sound-card source over the fake sound card: device changes reach
// the running stream, and the exit failure mode stops the controller through the configuration.
#include "app/EngineParts.h"
#include "app/KestravaStandaloneEncoderController.h"
#include "audio/soundcard/FakeSoundcardBackend.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/LogRecord.h"
#include "logging/LogSink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using kestrava::audio::soundcard::FakeSoundcardBackend;
using kestrava::audio::soundcard::PortaudioWrapper;

namespace {

// Keeps the texts logged and lets the test wait for one.
class WaitingSink : public KestravaLogger::LogSink {
public:
    void writeLine(const char*, std::size_t) override {}
    void writeRecord(const KestravaLogger::LogRecord& record) override {
        std::lock_guard lock(mutex);
        texts.emplace_back(record.text);
        changed.notify_all();
    }
    bool wantsLine() const override { return false; }
    void flush() override {}

    // True once `count` lines containing `text` have been logged; false after 20 s.
    bool waitFor(const std::string& text, int count = 1) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return seen(text) >= count; });
    }
    int seen(const std::string& text) const {
        int n = 0;
        for (const auto& t : texts) n += t.find(text) != std::string::npos ? 1 : 0;
        return n;
    }
    int count(const std::string& text) {
        std::lock_guard lock(mutex);
        return seen(text);
    }

private:
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> texts;
};

struct SoundcardChoice : testing::Test {
    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<WaitingSink> log = std::make_shared<WaitingSink>();
    // One device, index 0, that plays silence.
    PortaudioWrapper wrapper{std::make_unique<FakeSoundcardBackend>(&config)};
    EngineParts parts = engineParts({&wrapper, false, {}});
    std::unique_ptr<KestravaStandaloneEncoderController> controller;

    void SetUp() override {
        config.logger.addSink(log);
        config.logger.enable();
        config.values.streamWaitSeconds = 0.02f;  // quick retries
        parts.startAudioLibrary(config);
        controller.reset(new KestravaStandaloneEncoderController(config, parts));
        ASSERT_NE(controller, nullptr);
        controller->startThread();
    }
    void TearDown() override {
        controller.reset();
        parts.stopAudioLibrary();
        config.logger.stop();
    }
};

TEST_F(SoundcardChoice, ADeviceChangeReachesTheRunningStream) {
    controller->setSoundcard(7);  // no such device
    controller->postState(true);
    ASSERT_TRUE(log->waitFor("Failed to open soundcard - attempt #1"));
    controller->setSoundcard(0);
    ASSERT_TRUE(log->waitFor("Successfully opened sound card"));
    EXPECT_EQ(log->count("Changing soundcard to index 0"), 1);
    EXPECT_EQ(log->count("Running fake soundcard"), 1);
    controller->postState(false);
    ASSERT_TRUE(log->waitFor("Encoder input stopped"));
    // Off, then on again on the device chosen last.
    controller->postState(true);
    ASSERT_TRUE(log->waitFor("Running fake soundcard", 2));
}

TEST_F(SoundcardChoice, TheExitFailureModeStopsTheControllerAfterFourFailedOpens) {
    controller->setSoundcard(7);
    controller->setSoundcardFailureMode(1);
    controller->postState(true);
    ASSERT_TRUE(log->waitFor("Exiting Kestrava because soundcard failed to open..."));
    // The stream's worker asked the controller to stop: its thread ends without help.
    controller->joinThread();
    EXPECT_EQ(log->count("Failed to open soundcard - attempt #"), 4);
    EXPECT_EQ(log->count("Attempting to re-initialize soundcards"), 0);
}

TEST_F(SoundcardChoice, WithoutTheExitModeAFailingCardIsRetriedAfterReinitialisingTheLibrary) {
    controller->setSoundcard(7);
    controller->postState(true);
    ASSERT_TRUE(log->waitFor("Attempting to re-initialize soundcards"));
    ASSERT_TRUE(log->waitFor("Failed to open soundcard - attempt #1", 2));
    EXPECT_EQ(log->count("Running fake soundcard"), 0);  // never another device in its place
}

}  // namespace
