#include "app/ModelCommon.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/KestravaStatus.h"
#include "model/Model.h"
#include "FakeEngineParts.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using kestrava::settings::EncoderSettings;

TEST(ModelCommon, AFreshInstanceHasTheDefaultSettingsAndTheVariantOfItsName) {
    const struct {
        const char* argv0;
        int sampleRate;
        int blockLength;
    } cases[] = {{"/opt/encoder_176.4k", 176400, 1911}, {"x176400y", 176400, 1911}, {"encoder_176k", 192000, 2040}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argv0);
        FakeEngine engine;
        Model model;
        auto* common = new ModelCommon(&model, c.argv0, engine.parts());
        ASSERT_NE(common, nullptr);
        EXPECT_EQ(common->config->sampleRate, c.sampleRate);
        EXPECT_EQ(common->config->blockLength, c.blockLength);
        EXPECT_EQ(common->config->getStatus().get(), static_cast<KestravaStatus*>(common->status.get()));
        EXPECT_EQ(common->config->controller.load(), &common->encoderInstance->encoderController());

        const EncoderSettings& s = *common->encoderSettings;
        EXPECT_EQ(s.sampleRate, c.sampleRate);
        EXPECT_EQ(s.totalBitrate, 0);
        EXPECT_FALSE(s.streamKeyPresent);
        EXPECT_TRUE(std::none_of(s.destinationOn.begin(), s.destinationOn.end(), [](bool on) { return on; }));
        EXPECT_TRUE(std::all_of(s.destinationPort.begin(), s.destinationPort.end(), [](int p) { return p == 8854; }));
        EXPECT_EQ(common->webPort, 8080);
        EXPECT_EQ(common->webWhiteList, "/0");
        EXPECT_TRUE(common->webEnabled);
        EXPECT_FALSE(common->lowBandwidthMode);
        EXPECT_FALSE(common->settingsLoaded);
        const std::int32_t interfaces = common->networkInterfaceCount();
        EXPECT_GE(interfaces, 1);  // loopback at least
        EXPECT_EQ(common->getNetworkInterface(interfaces).name, "Invalid index");

        delete common;  // stops the controller thread and the logger before anything is freed
        const auto lines = engine.log->snapshot();
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines[0].find("sample rate " + std::to_string(c.sampleRate) + " Hz"), std::string::npos) << lines[0];
    }
}

}  // namespace

namespace {

TEST(EngineParts, TheHistoriesHangTheirTapsInSlotsZeroAndOne) {
    KestravaInstanceConfig config{192000, 2040};
    const SampleHistories histories = engineParts().makeHistories(config);
    ASSERT_TRUE(histories.raw && histories.input);
    EXPECT_TRUE(config.sampleHooks[0] && config.sampleHooks[1]);
    EXPECT_NE(config.sampleHooks[0], config.sampleHooks[1]);
    EXPECT_FALSE(histories.raw->hasReaderEvents());
    EXPECT_TRUE(histories.input->hasReaderEvents());
    for (int slot = 2; slot < KestravaInstanceConfig::sampleHookCount; ++slot) EXPECT_FALSE(config.sampleHooks[slot]);
}

}  // namespace
