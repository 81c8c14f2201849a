#include "audio/soundcard/PortaudioWrapper.h"
#include "LogCapture.h"
#include "ScriptedAudioBackend.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

using kestrava::audio::soundcard::PortaudioWrapper;

namespace {

struct WrapperFixture : testing::Test {
    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<LogCapture> log = LogCapture::attach(config.logger);
    ScriptedAudioBackend* backend = nullptr;
    std::unique_ptr<PortaudioWrapper> wrapper;

    void SetUp() override {
        auto scripted = std::make_unique<ScriptedAudioBackend>(
            std::vector<ScriptedAudioBackend::HostApi>{{"ALSA", paALSA}},
            std::vector<ScriptedAudioBackend::Device>{{"Card A", 0, 2, 0, true, false}, {"Card B", 0, 2, 0, true, false}});
        backend = scripted.get();
        wrapper = std::make_unique<PortaudioWrapper>(std::move(scripted));
    }
    std::vector<std::string> statusTexts() const {
        std::vector<std::string> out;
        for (const auto& m : config.statusMessages.bufferedMessages()) out.push_back(std::string(m.text).substr(20));
        return out;
    }
};

int dummyCallback(const void*, void*, unsigned long, const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void*) {
    return paContinue;
}

}  // namespace

TEST_F(WrapperFixture, CallsFromManyThreadsAllRunOnTheWrapperThread) {
    // A call made before the start waits and is served once the thread runs.
    int early = -1;
    std::thread before([&] { early = wrapper->getDeviceCount(); });
    wrapper->start(&config);
    before.join();
    EXPECT_EQ(early, 2);

    std::vector<std::thread> callers;
    std::vector<int> counts(4, 0);
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                counts[static_cast<std::size_t>(t)] += wrapper->getDeviceCount();
                const PaDeviceInfo* info = wrapper->getDeviceInfo(t % 2);
                ASSERT_NE(info, nullptr);
                EXPECT_EQ(std::string(info->name), t % 2 == 0 ? "Card A" : "Card B");
            }
        });
    }
    for (auto& c : callers) c.join();
    for (int c : counts) EXPECT_EQ(c, 100);
    EXPECT_EQ(wrapper->getDeviceInfo(9), nullptr);
    EXPECT_EQ(wrapper->getHostApiInfo(3), nullptr);
    for (const auto& id : backend->callThreads()) ASSERT_EQ(id, wrapper->threadId());
}

TEST_F(WrapperFixture, FailedInitialisationIsReportedAndARealReinitialisationRecovers) {
    backend->failInitializations(1);
    wrapper->start(&config);
    EXPECT_LT(wrapper->getDeviceCount(), 0);
    EXPECT_EQ(statusTexts(), (std::vector<std::string>{"Failed to initialize portaudio: Unanticipated host error",
                                                       "Cannot list audio devices..."}));
    for (const auto& m : config.statusMessages.bufferedMessages()) EXPECT_EQ(m.type, StatusWarning);
    ASSERT_TRUE(log->waitFor("Cannot list audio devices..."));
    EXPECT_EQ(log->count("Failed to initialize portaudio: Unanticipated host error"), 1);

    wrapper->reinitialize();
    EXPECT_EQ(wrapper->getDeviceCount(), 2);
    EXPECT_EQ(backend->terminateCalls(), 0) << "nothing to terminate after the failed start";
}

TEST_F(WrapperFixture, ReinitialisationKeepsAnOpenStreamOpen) {
    wrapper->start(&config);
    PaStream* stream = nullptr;
    PaStreamParameters input{0, 1, paFloat32, 0.1, nullptr};
    ASSERT_EQ(wrapper->openStream(&stream, &input, nullptr, 192000.0, 0, paNoFlag, dummyCallback, nullptr), paNoError);
    ASSERT_EQ(wrapper->startStream(stream), paNoError);
    wrapper->reinitialize();
    // Nested: the new initialisation comes first, so the library never drops to zero.
    EXPECT_EQ(backend->initializeCalls(), 2);
    EXPECT_EQ(backend->terminateCalls(), 1);
    EXPECT_TRUE(backend->hasStartedStream());
    EXPECT_EQ(wrapper->getDeviceCount(), 2);
    EXPECT_EQ(wrapper->closeStream(stream), paNoError);
}

TEST_F(WrapperFixture, SecondStartIsRefusedButTakesTheNewConfiguration) {
    wrapper->start(&config);
    const auto first = wrapper->threadId();
    wrapper->start(&config);
    EXPECT_EQ(wrapper->threadId(), first);
    EXPECT_TRUE(log->waitFor("Starting portaudiowrapper, but already started!"));
    EXPECT_EQ(log->snapshot().back().first, KestravaLogger::Critical);
}
