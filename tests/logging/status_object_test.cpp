#include "logging/KestravaInstanceConfig.h"
#include "logging/KestravaStatus.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <string>

namespace {

std::string body(const StatusMessage& m) { return std::string(m.text).substr(20); }

struct StatusFixture : testing::Test {
    KestravaInstanceConfig config{192000, 2040};
    StandaloneKestravaStatus status{&config};
    std::vector<StatusMessage> messages() { return config.statusMessages.bufferedMessages(); }
};

sockaddr_storage ipv4(const char* text, int port) {
    sockaddr_storage s{};
    auto& a = reinterpret_cast<sockaddr_in&>(s);
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, text, &a.sin_addr);
    return s;
}

sockaddr_storage ipv6(const char* text, int port) {
    sockaddr_storage s{};
    auto& a = reinterpret_cast<sockaddr_in6&>(s);
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(port);
    inet_pton(AF_INET6, text, &a.sin6_addr);
    return s;
}

}  // namespace

TEST_F(StatusFixture, InputLevelTexts) {
    const struct {
        bool off;
        float measured;
        const char* text;
        std::int32_t type;
    } cases[] = {
        {true, 1.0f, "Input level too high! Measured 100.00%, decrease input gain with 0.00%.", StatusNotice},
        {true, 1.25f, "Input level too high! Measured 125.00%, decrease input gain with 25.00%.", StatusNotice},
        {true, 0.9f, "Input level too low! Measured 90.00%, increase input gain with 10.00%.", StatusNotice},
        {false, 0.995f, "Input level is now OK. Measured 99.50%", StatusInfo},
    };
    for (const auto& c : cases) {
        status.onInputLevel(c.off, c.measured);
        const auto m = messages();
        ASSERT_EQ(m.size(), 1u) << "one input-level message replaces the other";
        EXPECT_EQ(body(m[0]), c.text);
        EXPECT_EQ(m[0].key, 6);
        EXPECT_EQ(m[0].type, c.type);
    }
}

TEST_F(StatusFixture, ReceptionTexts) {
    status.checkReception(59);
    EXPECT_EQ(body(messages().back()), "Receiving no Kestrava packets since 59s");
    status.checkReception(125);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(body(messages().back()), "Receiving no Kestrava packets since 2m05s");
    EXPECT_EQ(config.sequenceWindow.receptionState, 2);
    status.onStreamBack(125, 3);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(body(messages().back()),
              "Received no Kestrava packets during 2m5s - Stream is back (received 3 undecodable packets in the meantime)");
    EXPECT_EQ(messages().back().key, 2);
    EXPECT_EQ(config.sequenceWindow.receptionState, 1);
    status.onVersionMismatch(2);
    EXPECT_EQ(body(messages().back()),
              "Packet received is from a different version of Kestrava! Packet version is 3. Cannot decode.");
}

TEST_F(StatusFixture, LossSegmentsReportAndCount) {
    status.onStreamSwitch();
    status.beginSegment(10'000, 12'039);  // fresh report after a switch is skipped
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(body(messages()[0]), "Switching to another stream");

    status.markMissing(10'000, 10'000 + 2 * 2040);  // p = 14080 lies outside 10000..12039
    status.markMissing(8'000, 8'000 + 2040);        // p = 10040 inside: one missing
    status.markRecovered(11'000, 0, true);
    status.addSilence(21.25f, 12'500, 0);
    const auto& s = status.lossSegments()[0];
    EXPECT_EQ(s.missing, 0);
    EXPECT_EQ(s.recoveredLate, 1);
    EXPECT_FLOAT_EQ(s.silenceMs, 21.25f);
    const auto m = messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].key, 3);
    EXPECT_EQ(body(m[1]),
              "Audio loss\n0 Packets missing / 0 Packets too late / 1 Recovered but too late\nPlayed 0.021 seconds of "
              "silence\n10000 - 12039 ");

    status.addSilence(5.0f, 900'000, 0);  // no segment: late packets
    EXPECT_EQ(body(messages().back()), "Audio loss\nPackets arrived too late\n0.005 Seconds of silence");
}

TEST_F(StatusFixture, SendersAreTrackedByAddress) {
    std::vector<std::string> events;
    struct Recording : StandaloneKestravaStatus {
        using StandaloneKestravaStatus::StandaloneKestravaStatus;
        std::vector<std::string>* events = nullptr;
        std::int64_t now = 1'000'000'000;
        std::int64_t steadyNow() const override { return now; }
        void onSenderAdded(const std::string& a) override { events->push_back("added " + a); }
        void onSenderBack(const std::string& a) override { events->push_back("back " + a); }
        void onSenderTimedOut(const std::string& a) override { events->push_back("gone " + a); }
    } s(&config);
    s.events = &events;
    s.onPacketFrom(ipv4("192.0.2.7", 5000), 0);
    s.onPacketFrom(ipv4("192.0.2.7", 5001), 0);  // same IPv4 sender on another port
    s.now += 1;
    s.onPacketFrom(ipv6("2001:db8::1", 5000), 0);
    s.now += 1;
    s.onPacketFrom(ipv6("2001:db8::1", 5001), 0);  // another IPv6 port is another sender
    s.now += 5'000'000'000;                        // exactly 5 s after the last IPv6 packet
    s.onPacketFrom(ipv6("2001:db8::1", 5001), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"added 192.0.2.7", "added 2001:db8::1", "added 2001:db8::1",
                                                "gone 192.0.2.7", "gone 2001:db8::1"}));
    s.now += 1;
    s.onPacketFrom(ipv4("192.0.2.7", 1), 0);
    EXPECT_EQ(events.back(), "back 192.0.2.7");

    sockaddr_storage unix{};
    unix.ss_family = AF_UNIX;
    EXPECT_EQ(KestravaStatus::addressText(unix), "IP Family invalid");
}

TEST_F(StatusFixture, SequenceWindowMovesByBlocks) {
    auto& w = config.sequenceWindow;
    status.onSequence(0, 0, false, false);  // at base: nothing moves
    EXPECT_EQ(w.head, 0);
    EXPECT_TRUE(w.slots[0].plainMin.valid);
    status.onSequence(2040, 0, true, true);  // one block ahead: one slot
    EXPECT_EQ(w.head, 1);
    EXPECT_EQ(w.base.load(), 2040u);
    EXPECT_TRUE(w.slots[1].flaggedMin.valid);
    EXPECT_TRUE(w.slots[1].extraMin.valid);
    EXPECT_EQ(w.slots[1].flaggedMin.value, 2040);
    status.onSequence(100, 0, false, false);  // behind base, in the previous slot
    EXPECT_EQ(w.slots[0].plainMin.value, 0);
    status.onSequence(2040 + 2040 * 1024 + 1, 0, false, false);  // far ahead: every slot emptied
    EXPECT_FALSE(w.slots[0].plainMin.valid);
    EXPECT_EQ(w.receptionState, 1);
    EXPECT_EQ(w.packetSeen, 1);
}

TEST(InstanceConfig, The176kVariantAndFreshSettings) {
    KestravaInstanceConfig config(176400, 1911);
    EXPECT_EQ(config.blockLength, 1911);
    EXPECT_EQ(config.values.codecSampleRate, 38400);
    EXPECT_EQ(config.values.inputSampleRate, 176400);
    EXPECT_EQ(config.values.nominalSampleRate, 176400);
    EXPECT_EQ(config.values.logFolderLimitMb, 4096);
    EXPECT_EQ(config.sequenceWindow.span, 5'292'000);
    EXPECT_EQ(config.sequenceWindow.positionsPerSlot, 1911);
    EXPECT_EQ(config.gpsStatus().receiverHoldSeconds, 3600.0f);

    const EngineSettings& e = config.engine;
    EXPECT_EQ(e.bitrate, 320);
    EXPECT_EQ(e.codecVersion, 3);
    EXPECT_EQ(e.rateLimit, 0);
    EXPECT_EQ(e.redundancyDelay, 0);
    EXPECT_EQ(e.redundancyOverhead, 0);
    EXPECT_EQ(e.resetInterval, 5.0f);
    EXPECT_EQ(e.inputGain, 1.0f);
    EXPECT_EQ(e.gpsDevice, -1);
    EXPECT_EQ(e.gpsBaudRate, 9600);
    EXPECT_FALSE(e.streamProtection);
    EXPECT_FALSE(e.resetRequested);
    EXPECT_EQ(e.getText(3), "");
    EXPECT_EQ(e.getText(7), "");
}

TEST(InstanceConfig, StatusIsSharedAndOutlivesTheConfiguration) {
    std::shared_ptr<KestravaStatus> kept;
    {
        auto config = std::make_unique<KestravaInstanceConfig>(192000, 2040);
        EXPECT_FALSE(config->getStatus());
        config->setStatus(std::make_shared<StandaloneKestravaStatus>(nullptr));
        kept = config->getStatus();
        EXPECT_EQ(kept.use_count(), 2);
    }
    EXPECT_EQ(kept.use_count(), 1);
    GpsSyncStatus gps;
    gps.lockState = 1;
    KestravaInstanceConfig config(192000, 2040);
    StandaloneKestravaStatus status(&config);
    status.storeTiming(gps);
    EXPECT_EQ(config.gpsStatus().lockState, 1);
}
