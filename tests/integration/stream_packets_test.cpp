// The decoder's packet layer: the packet file, removal of protection, and the frames of a stream
// rebuilt from recovery packets, checked against the worked bytes of the wire description and
// against packets produced by the sender and the send thread's protection.
#include "decoder/StreamPackets.h"
#include "net/NetTestConfig.h"
#include "net/SenderSlot.h"
#include "net/StreamEncryptor.h"
#include "transport/TRPSender.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using kestrava::transport::TRPSender;

using namespace streamdecoder;

namespace {

const char* const keyText = "000102030405060708090A0B0C0D0E0F";

Bytes protectedCopy(kestrava::net::StreamEncryptor& encryptor, const Bytes& packet) {
    Bytes buffer(kestrava::net::SenderSlot::capacity, 0);
    std::copy(packet.begin(), packet.end(), buffer.begin());
    buffer.resize(encryptor.protect(buffer.data(), static_cast<std::uint32_t>(packet.size()),
                                    kestrava::net::SenderSlot::capacity));
    return buffer;
}

// Frames of random payloads through a sender with k frames and m recovery packets per group.
struct SentStream {
    SentStream(int k, int m, int frameCount, unsigned seed) : rng(seed) {
        c.config.engine.redundancyDelay = k;
        c.config.engine.redundancyOverhead = m;
        transporttest::RecordingSink sink;
        TRPSender sender(&c.config, sink, [&] { return static_cast<std::uint32_t>(rng() % 32768); });
        for (int i = 0; i < frameCount; ++i) {
            Bytes payload(20 + rng() % 1500);
            for (auto& b : payload) b = static_cast<std::uint8_t>(rng());
            const auto version = static_cast<std::int32_t>(i / 7 % 4);
            sender.sendFrame(payload.data(), version, static_cast<std::uint32_t>(payload.size()), 2040, i % 9 == 0,
                             false, false, true, version > 0, 100.0f, 5000 + i, 0.5f);
            payloads.push_back(payload);
        }
        for (const auto& q : sink.packets) packets.push_back(q.bytes);
    }
    std::mt19937 rng;
    nettest::CapturedConfig c;
    std::vector<Bytes> packets;
    std::vector<Bytes> payloads;
};

}  // namespace

TEST(StreamPackets, PacketFileSplitsAtTheLittleEndianLengths) {
    EXPECT_EQ(splitPacketFile({2, 0, 7, 8, 0, 0, 1, 0, 9}), (std::vector<Bytes>{{7, 8}, {}, {9}}));
    EXPECT_FALSE(splitPacketFile({3, 0, 7, 8}).has_value());
    EXPECT_FALSE(splitPacketFile({2}).has_value());
}

TEST(StreamPackets, ProtectionComesOffTheWorkedExamplesAndTheSendersPackets) {
    const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc8(digits, 9), 0xF4);
    const Key key = *parseKey(keyText);
    EXPECT_EQ(parseKey("000102030405060708090a0b0c0d0e0f"), key);
    EXPECT_FALSE(parseKey("000102030405060708090a0b0c0d0e0").has_value());
    EXPECT_FALSE(parseKey("0x0102030405060708090a0b0c0d0e0f").has_value());
    // Short packets are not encrypted: the check byte is the only change.
    EXPECT_EQ(unprotect({0x03, 0xC9, 0x61, 0x62}, key), (Bytes{0x03, 0x61, 0x62}));
    EXPECT_EQ(unprotect({0x05, 0x00}, key), (Bytes{0x05}));
    EXPECT_FALSE(unprotect({0x03, 0xC8, 0x61, 0x62}, key).has_value());

    nettest::CapturedConfig c;
    c.config.engine.setText(EngineSettings::TextStreamKey1, keyText);
    c.config.engine.streamProtection = true;
    kestrava::net::StreamEncryptor encryptor(&c.config);
    std::mt19937 rng(7);
    for (std::size_t n : {1u, 15u, 16u, 17u, 31u, 32u, 33u, 500u, 2047u}) {
        Bytes packet(n);
        for (auto& b : packet) b = static_cast<std::uint8_t>(rng());
        const Bytes sent = protectedCopy(encryptor, packet);
        ASSERT_EQ(sent.size(), n + 1);
        EXPECT_EQ(unprotect(sent, key), packet) << n << " bytes";
        if (n >= 16) {
            Key other = key;
            other[15] ^= 1;
            EXPECT_NE(unprotect(sent, other), packet) << n << " bytes";
        }
    }
}

TEST(StreamPackets, LostFramesComeBackFromTheirGroup) {
    struct Case {
        const char* name;
        int k, m;
        bool protect;
        int dropsPerGroup;  // frames or recovery packets dropped at random in every group
    };
    const Case cases[] = {
        {"no redundancy, nothing lost", 0, 0, false, 0},
        {"k 10 m 3, three lost per group", 10, 3, false, 3},
        {"k 4 m 2, protected, two lost per group", 4, 2, true, 2},
        {"k 1 m 2, one lost per group", 1, 2, false, 1},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SentStream s(t.k, t.m, 120, 2026);
        std::optional<Key> key;
        std::vector<Bytes> packets = s.packets;
        if (t.protect) {
            s.c.config.engine.setText(EngineSettings::TextStreamKey1, keyText);
            s.c.config.engine.streamProtection = true;
            kestrava::net::StreamEncryptor encryptor(&s.c.config);
            for (auto& p : packets) p = protectedCopy(encryptor, p);
            key = parseKey(keyText);
        }
        if (t.dropsPerGroup > 0) {
            const std::size_t n = static_cast<std::size_t>(t.k + t.m);
            std::vector<Bytes> kept;
            for (std::size_t g = 0; g < packets.size(); g += n) {
                std::vector<bool> lost(n, false);
                for (int d = 0; d < t.dropsPerGroup;) {
                    const std::size_t q = s.rng() % n;
                    if (!lost[q]) lost[q] = true, ++d;
                }
                for (std::size_t q = 0; q < n; ++q) {
                    if (!lost[q]) kept.push_back(packets[g + q]);
                }
            }
            packets = kept;
        }
        const ReceivedStream r = receiveStream(packets, key);
        EXPECT_EQ(r.rejectedPackets, 0u);
        EXPECT_EQ(r.groupsBeyondRepair, 0u);
        ASSERT_EQ(r.frames.size(), s.payloads.size());
        for (std::size_t i = 0; i < r.frames.size(); ++i) {
            ASSERT_EQ(r.frames[i].payload(), s.payloads[i]) << "frame " << i;
            ASSERT_EQ(r.frames[i].header.position, r.frames[0].header.position + 2040u * i) << "frame " << i;
            ASSERT_EQ(r.frames[i].header.version, static_cast<int>(i / 7 % 4)) << "frame " << i;
        }
    }
}

TEST(StreamPackets, AGroupLosingMoreThanItsRecoveryPacketsLeavesAGapAndTheRestIntact) {
    SentStream s(5, 2, 50, 11);
    std::vector<Bytes> packets = s.packets;
    // Group 2 (packets 14..20) loses three frames; a damaged recovery packet elsewhere is rejected.
    packets.erase(packets.begin() + 14, packets.begin() + 17);
    s.c.config.engine.setText(EngineSettings::TextStreamKey1, keyText);
    s.c.config.engine.streamProtection = true;
    kestrava::net::StreamEncryptor encryptor(&s.c.config);
    for (auto& p : packets) p = protectedCopy(encryptor, p);
    packets[30][1] ^= 0x01;
    const ReceivedStream r = receiveStream(packets, parseKey(keyText));
    EXPECT_EQ(r.rejectedPackets, 1u);
    EXPECT_EQ(r.groupsBeyondRepair, 1u);
    ASSERT_EQ(r.frames.size(), 47u);
    EXPECT_EQ(r.frames[10].header.position, r.frames[9].header.position + 4u * 2040u);
    EXPECT_EQ(r.frames[10].payload(), s.payloads[13]);
}
