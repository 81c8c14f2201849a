// Frame packets as they leave the transport sender: the header bytes of the worked examples,
// header lengths, level and GPS offset fields, stream positions and the packet length limit.
#include "transport/TRPSender.h"
#include "TransportPackets.h"
#include "net/NetTestConfig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace TRP = kestrava::transport::TRP;
using kestrava::transport::TRPSender;

using namespace transporttest;

namespace {

// A sender whose next frame gets stream position `position` (a first frame of that many samples
// from the start 0), with the queue emptied again.
struct SenderAt {
    explicit SenderAt(std::uint32_t position, std::int32_t k = 0, std::int32_t m = 0) {
        if (position != 0) sender.sendFrame(nullptr, 1, 0, position, false, false, false, false, false, 0, 0, 1);
        sink.packets.clear();
        c.config.engine.redundancyDelay = k;
        c.config.engine.redundancyOverhead = m;
    }
    nettest::CapturedConfig c;
    RecordingSink sink;
    TRPSender sender{&c.config, sink, [] { return 0u; }};
};

struct HeaderCase {
    const char* name;
    int version;
    bool reset, difference, silent, stamped;
    float level;
    const char* header;
};

}  // namespace

TEST(FramePacket, WorkedExampleHeadersWithPositionAndCount) {
    // Position 89 AB CD EF, count 2040, source flag set; stamps carry second 43200, offset 100.0.
    const HeaderCase cases[] = {
        {"v0 reset block, stamp ignored", 0, true, false, false, true, 0.25f, "00 43 13 57 9B DE 0F F0"},
        {"v1 difference coding", 1, false, true, false, false, 0.25f, "01 22 89 AB CD EF 07 F8"},
        {"v2 stamped, no level field", 2, false, false, false, true, 0.25f,
         "02 03 54 60 00 31 FC 4D 5E 6F 78 3F C0"},
        {"v3 third channel silent, level 1.0", 3, false, false, true, false, 1.0f, "03 12 44 D5 E6 F7 83 FC 00"},
        {"v3 level 0.25", 3, false, false, false, false, 0.25f, "03 02 C0 08 9A BC DE F0 7F 80"},
        {"v3 reset, difference, stamped, level 0.25", 3, true, true, false, true, 0.25f,
         "03 63 54 60 00 31 FE 00 44 D5 E6 F7 83 FC 00"},
    };
    const Bytes payload = {0xAA, 0x55, 0x01};
    for (const HeaderCase& h : cases) {
        SenderAt s(0x89ABCDEF);
        const std::uint32_t length = s.sender.sendFrame(payload.data(), h.version, 3, 2040, h.reset, h.difference,
                                                        h.silent, true, h.stamped, 100.0f, 43200, h.level);
        Bytes expected = hex(h.header);
        expected.insert(expected.end(), payload.begin(), payload.end());
        ASSERT_EQ(s.sink.packets.size(), 1u) << h.name;
        EXPECT_EQ(s.sink.packets[0].bytes, expected) << h.name;
        EXPECT_EQ(s.sink.packets[0].priority, TRP::Priority::Frame) << h.name;
        EXPECT_EQ(length, expected.size()) << h.name;
    }
}

TEST(FramePacket, HeaderLengthFollowsVersionStampAndLevel) {
    const struct {
        int version;
        bool stamped;
        float level;
        std::size_t bytes;
    } cases[] = {
        {0, false, 0.5f, 8}, {0, true, 0.5f, 8},   {1, false, 0.5f, 8},  {2, false, 0.5f, 8}, {1, true, 0.5f, 13},
        {2, true, 0.5f, 13}, {3, false, 1.0f, 9},  {3, false, 0.5f, 10}, {3, true, 1.0f, 13}, {3, true, 0.5f, 15},
    };
    for (const auto& c : cases) {
        SenderAt s(0xFEDCBA98);
        // An empty payload: the packet is the header alone.
        s.sender.sendFrame(nullptr, c.version, 0, 1911, false, false, false, true, c.stamped, 7.0f, 86399, c.level);
        const std::string name = "version " + std::to_string(c.version) + (c.stamped ? " stamped" : "") +
                                 ", level " + std::to_string(c.level);
        ASSERT_EQ(s.sink.packets.size(), 1u) << name;
        const Bytes& packet = s.sink.packets[0].bytes;
        EXPECT_EQ(packet.size(), c.bytes) << name;
        const FrameFieldsRead f = readFrameHeader(packet);
        EXPECT_EQ(f.headerBytes, c.bytes) << name;
        EXPECT_EQ(f.position, 0xFEDCBA98u) << name;
        EXPECT_EQ(f.sampleCount, 1911u) << name;
        if (f.stamped) {
            EXPECT_EQ(f.gpsSecond, 86399u) << name;
            EXPECT_EQ(f.gpsOffset, 111u) << name;  // trunc(7 * 15.999985)
        }
    }
}

TEST(FramePacket, LevelField) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        float level;
        bool hasField;
        std::uint32_t field;
    } cases[] = {
        {"full scale", 1.0f, false, 0},     {"0.9995", 0.9995f, false, 0}, {"NaN", nan, false, 0},
        {"above full scale", 3.0f, false, 0}, {"silence", 0.0f, true, 1},  {"0.25", 0.25f, true, 1024},
        {"0.9", 0.9f, true, 1942},          {"0.999", 0.999f, true, 2046}, {"negative (bad input)", -0.5f, true, 1},
        {"minus infinity (bad input)", -std::numeric_limits<float>::infinity(), true, 1},
    };
    for (const auto& c : cases) {
        SenderAt s(0);
        s.sender.sendFrame(nullptr, 3, 0, 2040, false, false, false, false, false, 0, 0, c.level);
        const FrameFieldsRead f = readFrameHeader(s.sink.packets.at(0).bytes);
        EXPECT_EQ(f.hasLevel, c.hasField) << c.name;
        EXPECT_EQ(f.level, c.field) << c.name;
    }
    // Versions 1 and 2 never carry a level.
    for (int version : {1, 2}) {
        SenderAt s(0);
        s.sender.sendFrame(nullptr, version, 0, 2040, false, false, false, false, false, 0, 0, 0.25f);
        EXPECT_EQ(s.sink.packets.at(0).bytes.size(), 8u) << "version " << version;
    }
}

TEST(FramePacket, GpsOffsetAndSecondFields) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        float offset;
        std::uint32_t field;
    } cases[] = {
        {"1.0", 1.0f, 15},
        {"100.0, single-precision product truncated", 100.0f, 1599},
        {"65536.0, largest field", 65536.0f, 1048575},
        {"65537.0 wraps", 65537.0f, 15},
        {"0", 0.0f, 0},
        {"NaN (bad input)", std::numeric_limits<float>::quiet_NaN(), 0},
        {"infinity (bad input) saturates", inf, 0xFFFFF},
    };
    for (const auto& c : cases) {
        SenderAt s(0);
        s.sender.sendFrame(nullptr, 3, 0, 2040, false, false, false, false, true, c.offset, 43200, 1.0f);
        const FrameFieldsRead f = readFrameHeader(s.sink.packets.at(0).bytes);
        EXPECT_TRUE(f.stamped) << c.name;
        EXPECT_EQ(f.gpsOffset, c.field) << c.name;
        EXPECT_EQ(f.gpsSecond, 43200u) << c.name;
    }
    SenderAt s(0);
    s.sender.sendFrame(nullptr, 1, 0, 2040, false, false, false, false, true, 0, 0x20000 + 5, 1.0f);
    EXPECT_EQ(readFrameHeader(s.sink.packets.at(0).bytes).gpsSecond, 5u) << "only the low 17 bits of the second";
}

TEST(FramePacket, StreamPositionStartsFromTheDrawAndWrapsAt32Bits) {
    nettest::CapturedConfig c;
    RecordingSink sink;
    const struct {
        std::uint32_t r;
        std::uint64_t start;
    } draws[] = {{0, 0}, {1, 131076}, {16384, 2147549186}, {32767, 4294967296}};
    for (const auto& d : draws) {
        TRPSender sender(&c.config, sink, [&] { return d.r; });
        EXPECT_EQ(sender.streamPosition(), d.start) << "r = " << d.r;
    }

    // A start of exactly 2^32 goes out as 0, and the next frame starts at its sample count.
    sink.packets.clear();
    TRPSender top(&c.config, sink, [] { return 32767u; });
    top.sendFrame(nullptr, 1, 0, 2040, false, false, false, false, false, 0, 0, 1);
    top.sendFrame(nullptr, 1, 0, 2040, false, false, false, false, false, 0, 0, 1);
    EXPECT_EQ(readFrameHeader(sink.packets.at(0).bytes).position, 0u);
    EXPECT_EQ(readFrameHeader(sink.packets.at(1).bytes).position, 2040u);

    // Across the wrap only the position field changes; the whole 32-bit count is added.
    SenderAt s(0xFFFFFFFF);
    const Bytes payload = {1, 2, 3, 4};
    s.sender.sendFrame(payload.data(), 3, 4, 70000, false, false, false, true, false, 0, 0, 1);
    s.sender.sendFrame(payload.data(), 3, 4, 70000, false, false, false, true, false, 0, 0, 1);
    const FrameFieldsRead before = readFrameHeader(s.sink.packets.at(0).bytes);
    const FrameFieldsRead after = readFrameHeader(s.sink.packets.at(1).bytes);
    EXPECT_EQ(before.position, 0xFFFFFFFFu);
    EXPECT_EQ(after.position, 69999u);
    EXPECT_EQ(before.sampleCount, 70000u & 0xFFFF);
    EXPECT_EQ(s.sender.streamPosition(), 69999u + 70000u);

    // The system generator gives one of the 32,768 possible starts.
    TRPSender drawn(&c.config, sink);
    const std::uint64_t p = drawn.streamPosition();
    EXPECT_LE(p, TRPSender::positionModulus);
    bool reachable = false;
    for (std::uint64_t r = p * 32767 / 4294967296; r <= 32767 && r <= p * 32767 / 4294967296 + 1; ++r) {
        reachable |= static_cast<std::uint64_t>(static_cast<double>(r) / 32767.0 * 4294967296.0) == p;
    }
    EXPECT_TRUE(reachable) << p;
}

TEST(FramePacket, LengthLimitNeverQueuesACutFrame) {
    // 8-byte header (version 1, unstamped) plus payload. With redundancy on (k = 2, m = 1) a
    // refused frame must not join the group either. Stream protection adds one byte and
    // receivers take at most 2048, so with it a 2048-byte frame is refused as well.
    const struct {
        std::uint32_t fullLength;
        bool protect, reported, queued;
    } cases[] = {{2047, false, false, true}, {2048, false, true, true}, {2100, false, true, false},
                 {2047, true, false, true},  {2048, true, true, false}};
    const Bytes payload(2100 - 8, 0x5A);
    for (const auto& c : cases) {
        SenderAt s(1000, 2, 1);
        s.c.config.engine.streamProtection = c.protect;
        const std::uint32_t result = s.sender.sendFrame(payload.data(), 1, c.fullLength - 8, 2040, false, false,
                                                        false, false, false, 0, 0, 1);
        s.c.settleLog();
        const std::string name = std::to_string(c.fullLength) + " bytes" + (c.protect ? ", protected" : "");
        const std::string message = "Packet too large! " + std::to_string(c.fullLength) + " bytes";
        EXPECT_EQ(s.c.log->count(message), c.reported ? 1u : 0u) << name;
        EXPECT_EQ(s.c.log->count("Packet too large!"), c.reported ? 1u : 0u) << name;
        EXPECT_EQ(result, c.queued ? c.fullLength : 0u) << name;
        ASSERT_EQ(s.sink.packets.size(), c.queued ? 1u : 0u) << name;
        if (c.queued) {
            EXPECT_EQ(s.sink.packets[0].bytes.size(), c.fullLength) << name;
        }
        // The position advances all the same, so the next frame shows the gap.
        s.sender.sendFrame(nullptr, 1, 0, 2040, false, false, false, false, false, 0, 0, 1);
        EXPECT_EQ(readFrameHeader(s.sink.packets.back().bytes).position, 1000u + 2040u) << name;
        // Only a frame that joined the group lets the next one close it; such a group's
        // recovery packets would exceed 2047 bytes and are reported instead of sent.
        s.c.settleLog();
        EXPECT_EQ(s.c.log->count("Redundancy packet too large: 2059 bytes"), c.queued ? 1u : 0u) << name;
        EXPECT_FALSE(s.sink.packets.back().isRecovery()) << name;
    }
}
