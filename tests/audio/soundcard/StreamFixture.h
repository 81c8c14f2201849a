#pragma once

#include "audio/soundcard/PortAudioSoundcardStream.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "LogCapture.h"
#include "ManualSteadyClock.h"
#include "ScriptedAudioBackend.h"
#include "audio/WaitUntil.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A started wrapper over a scripted library with two ALSA input devices and one JACK device, a
// manual steady clock for the watchdog and the callback stamps, and worker passes of 1 ms.
struct StreamFixture : testing::Test {
    using Device = ScriptedAudioBackend::Device;
    using HostApi = ScriptedAudioBackend::HostApi;

    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<LogCapture> log = LogCapture::attach(config.logger);
    ManualSteadyClock clock;
    ScriptedAudioBackend* backend = nullptr;
    std::unique_ptr<kestrava::audio::soundcard::PortaudioWrapper> wrapper;
    std::unique_ptr<kestrava::audio::soundcard::PortAudioSoundcardStream> stream;

    static std::vector<Device> defaultDevices() {
        return {{"Card A", 0, 2, 0, true, false}, {"Card B", 0, 2, 0, true, false}, {"Jack in", 1, 2, 0, true, false}};
    }

    void SetUp() override {
        config.values.streamWaitSeconds = 0.001f;
        auto scripted = std::make_unique<ScriptedAudioBackend>(
            std::vector<HostApi>{{"ALSA", paALSA}, {"JACK Audio Connection Kit", paJACK}}, defaultDevices());
        backend = scripted.get();
        wrapper = std::make_unique<kestrava::audio::soundcard::PortaudioWrapper>(std::move(scripted));
        wrapper->start(&config);
    }
    void TearDown() override {
        stream.reset();
        wrapper.reset();
    }

    void makeStream(int device) { stream = std::make_unique<kestrava::audio::soundcard::PortAudioSoundcardStream>(config, *wrapper, device, clock); }
    // At least two complete worker passes after this moment (a whole wait and watchdog check).
    void waitPasses(std::uint64_t n = 2) {
        const auto from = stream->workerPasses();
        ASSERT_TRUE(waitUntil([&] { return stream->workerPasses() >= from + n; }));
    }
    int statusCount(const std::string& text, int type) const {
        int n = 0;
        for (const auto& m : config.statusMessages.bufferedMessages()) {
            if (std::string(m.text).find(text) != std::string::npos && m.type == type) ++n;
        }
        return n;
    }
    void expectAllCallsOnWrapperThread() const {
        for (const auto& id : backend->callThreads()) ASSERT_EQ(id, wrapper->threadId());
    }
};
