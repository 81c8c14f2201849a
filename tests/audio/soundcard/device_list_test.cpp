#include "audio/soundcard/PortaudioWrapper.h"
#include "LogCapture.h"
#include "ScriptedAudioBackend.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using kestrava::audio::soundcard::PortaudioWrapper;
using kestrava::audio::soundcard::SoundcardEntry;

namespace {

using Device = ScriptedAudioBackend::Device;

struct DeviceListFixture : testing::Test {
    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<LogCapture> log = LogCapture::attach(config.logger);
    ScriptedAudioBackend* backend = nullptr;
    std::unique_ptr<PortaudioWrapper> wrapper;

    void build(std::vector<Device> devices) {
        auto scripted = std::make_unique<ScriptedAudioBackend>(
            std::vector<ScriptedAudioBackend::HostApi>{{"ALSA", paALSA}, {"JACK Audio Connection Kit", paJACK}},
            std::move(devices));
        backend = scripted.get();
        wrapper = std::make_unique<PortaudioWrapper>(std::move(scripted));
        wrapper->start(&config);
    }
    static std::vector<std::pair<int, std::string>> shown(const std::vector<SoundcardEntry>& list) {
        std::vector<std::pair<int, std::string>> out;
        for (const auto& e : list) {
            EXPECT_EQ(e.displayName, e.name);
            out.emplace_back(e.deviceIndex, e.displayName);
        }
        return out;
    }
};

}  // namespace

TEST_F(DeviceListFixture, ListsOfferDevicesThatTakeOneFloatChannelInTheirDirection) {
    build({
        {"Line in", 0, 2, 0, true, false},        // input
        {"Speakers", 0, 0, 2, false, true},       // output only
        {"Wrong rate", 0, 2, 0, false, false},    // refuses the format
        {"No channels", 0, 0, 0, true, false},    // format fine, but no input channel
        {"Orphan", 5, 2, 2, true, true},          // unknown host API
        {"system", 1, 2, 2, true, true},          // JACK, both ways
    });
    using Shown = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(shown(wrapper->listDevices(config, 1)),
              (Shown{{0, "Line in (ALSA)"}, {5, "system (JACK Audio Connection Kit)"}}));
    EXPECT_EQ(shown(wrapper->listDevices(config, 0)),
              (Shown{{1, "Speakers (ALSA)"}, {5, "system (JACK Audio Connection Kit)"}}));
    EXPECT_TRUE(wrapper->listDevices(config, 2).empty());
    ASSERT_TRUE(log->waitFor("Unknown host api 5 for device 4", 3));
}

TEST_F(DeviceListFixture, DefaultInputFallsBackToTheFirstUsableDevice) {
    const struct {
        PaDeviceIndex libraryDefault;
        std::vector<Device> devices;
        PaDeviceIndex expected;
    } cases[] = {
        {1, {{"A", 0, 2, 0, true, false}, {"B", 0, 2, 0, true, false}}, 1},
        {0, {{"A", 0, 2, 0, false, false}, {"B", 0, 2, 0, true, false}}, 1},
        {paNoDevice, {{"A", 0, 0, 2, false, true}, {"B", 0, 2, 0, true, false}}, 1},
        {0, {{"A", 0, 0, 2, false, true}}, -1},
    };
    for (const auto& c : cases) {
        build(c.devices);
        backend->setDefaultInput(c.libraryDefault);
        EXPECT_EQ(wrapper->findDefaultInputDevice(config), c.expected) << c.libraryDefault;
    }
}

TEST_F(DeviceListFixture, NoDevicesGiveEmptyListsAndMinusOne) {
    build({});
    backend->setDefaultInput(paNoDevice);
    EXPECT_TRUE(wrapper->listDevices(config, 1).empty());
    EXPECT_TRUE(wrapper->listDevices(config, 0).empty());
    EXPECT_EQ(wrapper->findDefaultInputDevice(config), -1);
    EXPECT_EQ(wrapper->findDeviceByName(), -1);
    ASSERT_TRUE(log->waitFor("Unknown audio device -1"));
    EXPECT_EQ(log->snapshot().size(), 1u);
}

TEST_F(DeviceListFixture, FindsDevicesByFixedNameAndByKey) {
    build({{"A", 0, 2, 0, true, false}, {"snd_rpi_wsp", 0, 2, 0, true, false}, {"A", 1, 2, 0, true, false}});
    EXPECT_EQ(wrapper->findDeviceByName(), 1);
    EXPECT_EQ(wrapper->findDeviceByKey("A (JACK Audio Connection Kit)"), 2);
    EXPECT_EQ(wrapper->findDeviceByKey("A (Pulse)"), -1);
}
