#include "app/EncoderInstance.h"
#include "FakeEngineParts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <set>
#include <string>

namespace {

using kestrava::settings::EncoderSettings;

struct ApplyFixture : testing::Test {
    FakeEngine engine;
    KestravaInstanceConfig config{192000, 2040};
    EncoderSettings settings{192000};
    InstancePaths paths;
    std::unique_ptr<EncoderInstance> instance =
        std::make_unique<EncoderInstance>(settings, paths, config, engine.parts());
    EngineSettings& e = config.engine;

    void setRow(int row, const std::string& host, std::int32_t port, bool on) {
        std::strncpy(settings.destinationHost[row].data(), host.c_str(), EncoderSettings::hostSize - 1);
        settings.destinationPort[row] = port;
        settings.destinationOn[row] = on;
    }
    // Everything logged so far (the logger is stopped to make sure it has all of it).
    std::vector<std::string> logged() {
        config.logger.stop();
        return engine.log->snapshot();
    }
    static long count(const std::vector<std::string>& lines, const std::string& text) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
};

TEST_F(ApplyFixture, BitRateFollowsCodecVersionAndPlusMode) {
    settings.bitrateV1 = 192;
    settings.bitrate = 320;
    settings.bitratePlus = 96;
    const struct {
        int version;
        bool plus;
        bool vbr;
        int rate;
        bool plusOn;
        bool vbrOn;
    } cases[] = {
        {0, false, false, 192, false, false}, {1, true, true, 320, false, false}, {2, true, false, 320, false, false},
        {3, false, true, 320, false, false},  {3, true, false, 96, true, false},  {3, true, true, 96, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << " plus " << c.plus << " vbr " << c.vbr);
        settings.codecVersion = c.version;
        settings.plusMode = c.plus;
        settings.variableBitrate = c.vbr;
        instance->applySettings();
        EXPECT_EQ(e.codecVersion, c.version);
        EXPECT_EQ(e.bitrate, c.rate);
        EXPECT_EQ(e.plusMode, c.plusOn);
        EXPECT_EQ(e.variableBitrate, c.vbrOn);
    }
}

TEST_F(ApplyFixture, TotalRateAndRateLimitIncludeTheRecoveryPackets) {
    const struct {
        int bitrate, group, overhead;
        int total, limit, delay, redundancy;
    } cases[] = {
        {320, 64, 4, 340, 440'000, 64, 4},
        {320, 64, 0, 320, 420'000, 0, 0},
        {320, 0, 4, 320, 420'000, 0, 0},
        {256, 3, 1, 342, 442'000, 3, 1},
        // 32-bit arithmetic would overflow here; the limit saturates instead of going negative.
        {2'000'000, 1, 255, 512'000'000, INT_MAX, 1, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bitrate << " kbit/s, " << c.group << "/" << c.overhead);
        settings.bitrate = c.bitrate;
        settings.fecGroupSize = c.group;
        settings.fecOverhead = c.overhead;
        instance->applySettings();
        EXPECT_EQ(settings.totalBitrate, c.total);
        EXPECT_EQ(e.rateLimit, c.limit);
        EXPECT_EQ(e.redundancyDelay, c.delay);
        EXPECT_EQ(e.redundancyOverhead, c.redundancy);
    }
}

TEST_F(ApplyFixture, ValuesOutsideTheCodersTablesAreRefusedOnce) {
    instance->applySettings();
    settings.codecVersion = 7;
    settings.fecGroupSize = 200;
    settings.fecOverhead = 100;
    instance->applySettings();
    instance->applySettings();
    EXPECT_EQ(e.codecVersion, 3);
    EXPECT_EQ(e.redundancyDelay, 64);
    EXPECT_EQ(e.redundancyOverhead, 4);
    const auto lines = logged();
    EXPECT_EQ(count(lines, "codec version 7 is not supported"), 1);
    EXPECT_EQ(count(lines, "error correction size 300 is not supported"), 1);
}

TEST_F(ApplyFixture, StreamProtectionNeedsAKey) {
    settings.streamProtection = true;
    instance->applySettings();
    EXPECT_FALSE(e.streamProtection);
    EXPECT_FALSE(settings.streamKeyPresent);
    instance->setStreamKey("00112233445566778899aabbccddeeff");
    EXPECT_TRUE(e.streamProtection);
    EXPECT_TRUE(settings.streamKeyPresent);
}

TEST_F(ApplyFixture, FirstApplyPushesEverythingAndTheControllerFollowsTheEncoderSwitch) {
    e.resetRequested = false;
    instance->applySettings();
    EXPECT_TRUE(e.resetRequested);
    EXPECT_EQ(engine.soundcards, (std::vector<std::int32_t>{-1}));
    ASSERT_EQ(engine.histories.size(), 2u);
    EXPECT_NE(engine.histories[0]->events, engine.histories[1]->events);
    for (const auto& h : engine.histories) EXPECT_EQ(h->rate, 192000.0f);
    ASSERT_TRUE(engine.waitForCalls(1));  // the controller thread started the source

    instance->applySettings();  // nothing changed: no new request
    settings.encoderOn = false;
    instance->applySettings();
    ASSERT_TRUE(engine.waitForCalls(2));
    EXPECT_EQ(engine.starts, 1);
    EXPECT_EQ(engine.stops, 1);
    // Off resets the applied copy, so the next call pushes the sound card again.
    EXPECT_EQ(instance->applied().codecVersion, -1);
    instance->applySettings();
    EXPECT_EQ(engine.soundcards, (std::vector<std::int32_t>{-1, -1}));
}

TEST_F(ApplyFixture, APortChangeQueuesAnEraseThenAnOpen) {
    setRow(0, "192.0.2.1", 8854, true);
    instance->applySettings();
    auto first = engine.drain();
    ASSERT_EQ(first.opened, (std::vector<std::string>{"192.0.2.1:8854"}));

    settings.destinationPort[0] = 9000;
    instance->applySettings();
    auto erase = engine.ring.take(false);
    auto open = engine.ring.take(false);
    ASSERT_TRUE(erase && open);
    EXPECT_TRUE(erase->erase);
    EXPECT_EQ(erase->destinationId, first.openedIds[0]);
    EXPECT_FALSE(open->erase);
    EXPECT_EQ(open->port, "9000");
    EXPECT_TRUE(open->qos);
    EXPECT_GT(open->destinationId, first.openedIds[0]);
}

TEST_F(ApplyFixture, ARowSwitchedOnAndOffBeforeTheConsumerRunsOpensNothing) {
    setRow(3, "198.51.100.7", 8854, true);
    instance->applySettings();
    settings.destinationOn[3] = false;
    instance->applySettings();
    EXPECT_EQ(engine.ring.pending(), 2);
    const auto d = engine.drain();
    EXPECT_TRUE(d.opened.empty());
    EXPECT_TRUE(d.erased.empty());
}

TEST_F(ApplyFixture, HundredRowsSwitchedOnAtOnceAllOpenInTheEnd) {
    for (int row = 0; row < 100; ++row) setRow(row, "10.0.0." + std::to_string(row), 8854, true);
    instance->applySettings();
    auto d = engine.drain();
    EXPECT_EQ(d.opened.size(), 64u);
    // The rows the full ring refused are tried again by the next call.
    instance->applySettings();
    const auto rest = engine.drain();
    d.opened.insert(d.opened.end(), rest.opened.begin(), rest.opened.end());
    d.openedIds.insert(d.openedIds.end(), rest.openedIds.begin(), rest.openedIds.end());
    EXPECT_EQ(std::set<std::string>(d.opened.begin(), d.opened.end()).size(), 100u);
    EXPECT_EQ(std::set<std::int32_t>(d.openedIds.begin(), d.openedIds.end()).size(), 100u);
    instance->applySettings();
    EXPECT_EQ(engine.ring.pending(), 0);
}

TEST_F(ApplyFixture, SwitchingTheEncoderOffErasesEveryOpenDestination) {
    for (int row = 10; row < 15; ++row) setRow(row, "203.0.113." + std::to_string(row), 8854, true);
    instance->applySettings();
    const auto opened = engine.drain();
    ASSERT_EQ(opened.openedIds.size(), 5u);
    settings.encoderOn = false;
    instance->applySettings();
    EXPECT_EQ(engine.drain().erased, opened.openedIds);
}

TEST_F(ApplyFixture, ARefusedEraseIsRetriedAndNeverLeavesADestinationBehind) {
    setRow(0, "192.0.2.1", 8854, true);
    instance->applySettings();
    const auto opened = engine.drain();
    ASSERT_EQ(opened.openedIds.size(), 1u);
    // Fill the ring with 64 opens on other rows that the consumer has not taken yet.
    for (int row = 1; row <= 64; ++row) setRow(row, "10.0.1." + std::to_string(row), 8854, true);
    instance->applySettings();
    settings.destinationPort[0] = 9000;
    instance->applySettings();  // the erase finds the ring full
    EXPECT_TRUE(engine.drain().erased.empty());
    instance->applySettings();
    const auto d = engine.drain();
    EXPECT_EQ(d.erased, opened.openedIds);
    EXPECT_EQ(std::count(d.opened.begin(), d.opened.end(), "192.0.2.1:9000"), 1);
}

// The GPS synchroniser starts over when its input or its receiver changes, and only then.
TEST_F(ApplyFixture, InputAndReceiverChangesRaiseTheGpsResync) {
    const struct {
        const char* change;
        std::function<void(EncoderSettings&)> apply;
        bool resync;
    } cases[] = {
        {"sound card", [](EncoderSettings& s) { s.inputDevice = 3; }, true},
        {"input rate", [](EncoderSettings& s) { s.sampleRate = 176400; }, true},
        {"stamping switch", [](EncoderSettings& s) { s.gpsOn = !s.gpsOn; }, true},
        {"NMEA device", [](EncoderSettings& s) { s.gpsDevice = 4; }, true},
        {"baud rate", [](EncoderSettings& s) { s.gpsBaudRate = 4800; }, true},
        {"device name", [](EncoderSettings& s) { std::strcpy(s.gpsDeviceName, "/dev/ttyUSB0"); }, true},
        {"NMEA delay", [](EncoderSettings& s) { s.gpsUsbDelay = 0.2f; }, false},
        {"clock offset", [](EncoderSettings& s) { s.gpsClockOffset = 0.3f; }, false},
        {"bit rate", [](EncoderSettings& s) { s.bitrate = 384; }, false},
    };
    instance->applySettings();
    for (const auto& c : cases) {
        e.gpsResyncRequested = false;
        c.apply(settings);
        instance->applySettings();
        EXPECT_EQ(e.gpsResyncRequested.load(), c.resync) << c.change;
    }
}

}  // namespace
