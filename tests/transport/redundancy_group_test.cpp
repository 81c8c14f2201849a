// Redundancy groups as seen in the queue: when recovery packets follow which frame, what their
// headers carry, how frames are padded to one block length, and the refusals.
#include "transport/TRPSender.h"
#include "ReferenceCode.h"
#include "TransportPackets.h"
#include "net/NetTestConfig.h"

#include <gtest/gtest.h>

#include <string>

using kestrava::transport::RedundancyGroup;
using kestrava::transport::TRPSender;

using namespace transporttest;

namespace {

struct Fixture {
    explicit Fixture(std::int32_t k, std::int32_t m, std::uint32_t start = 0) {
        if (start != 0) sender.sendFrame(nullptr, 1, 0, start, false, false, false, false, false, 0, 0, 1);
        sink.packets.clear();
        set(k, m);
    }
    void set(std::int32_t k, std::int32_t m) {
        c.config.engine.redundancyDelay = k;
        c.config.engine.redundancyOverhead = m;
    }
    // A version 3 frame of `length` bytes in all (10-byte header with level 0.5), payload bytes
    // numbered from `seed`.
    void frame(std::uint32_t length, std::uint32_t count = 2040, std::uint8_t seed = 0) {
        Bytes payload(length - 10);
        for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(seed + i * 7);
        ASSERT_EQ(sender.sendFrame(payload.data(), 3, length - 10, count, false, false, false, true, false, 0, 0, 0.5f),
                  length);
    }
    // "F" for a frame packet, "R<index>" for a recovery packet, in queue order.
    std::string order() const {
        std::string text;
        for (const Queued& q : sink.packets) {
            text += q.isRecovery() ? "R" + std::to_string(readRecoveryHeader(q.bytes).index) : "F";
        }
        return text;
    }
    std::vector<Bytes> recoveryPackets() const {
        std::vector<Bytes> out;
        for (const Queued& q : sink.packets) {
            if (q.isRecovery()) out.push_back(q.bytes);
        }
        return out;
    }

    nettest::CapturedConfig c;
    RecordingSink sink;
    TRPSender sender{&c.config, sink, [] { return 0u; }};
};

}  // namespace

TEST(RedundancyGroup, RecoveryPacketsFollowTheClosingFrameAsSettingsChange) {
    struct Step {
        std::int32_t k, m;
        int frames;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        const char* order;
    } cases[] = {
        {"k 4, m 2", {{4, 2, 9}}, "FFFFR0R1FFFFR0R1F"},
        {"k 3, m 2", {{3, 2, 4}}, "FFFR0R1F"},
        {"k 1 closes every frame", {{1, 3, 2}}, "FR0R1R2FR0R1R2"},
        {"m 1", {{2, 1, 4}}, "FFR0FFR0"},
        {"off freezes the group, on again completes it", {{3, 2, 2}, {0, 2, 3}, {3, 2, 1}}, "FFFFFFR0R1"},
        {"k lowered below the frames held closes with the next frame", {{10, 2, 7}, {5, 2, 2}}, "FFFFFFFFR0R1F"},
        {"k + m above 256 is off", {{200, 200, 300}}, ""},
        {"negative k is off", {{-1, 2, 5}}, ""},
        {"negative m is off", {{3, -2, 5}}, ""},
        {"k + m = 256 is on", {{254, 2, 254}}, "R0R1"},
    };
    for (const auto& c : cases) {
        Fixture f(0, 0);
        for (const Step& step : c.steps) {
            f.set(step.k, step.m);
            for (int i = 0; i < step.frames; ++i) f.frame(100);
        }
        std::string order = f.order();
        std::string expected = c.order;
        if (expected.empty() || expected[0] == 'R') {  // only the packets after the last frame matter
            order = order.substr(order.find_last_of('F') + 1);
        }
        EXPECT_EQ(order, expected) << c.name;
    }
}

TEST(RedundancyGroup, RecoveryHeaderCarriesGroupStartCountAndShape) {
    // First position 515, closing count 400, k = 10, m = 3, codec version 3.
    Fixture f(10, 3, 515);
    for (int i = 0; i < 9; ++i) f.frame(120, 2040);
    f.frame(120, 400);
    f.frame(120, 2040);  // opens the next group
    const std::vector<Bytes> recovery = f.recoveryPackets();
    ASSERT_EQ(recovery.size(), 3u);
    const Bytes first(recovery[0].begin(), recovery[0].begin() + 11);
    EXPECT_EQ(first, hex("03 80 00 01 01 80 C8 00 05 01 80"));
    for (std::uint32_t index = 0; index < 3; ++index) {
        const RecoveryFieldsRead r = readRecoveryHeader(recovery[index]);
        EXPECT_TRUE(r.marked);
        EXPECT_EQ(r.firstPosition, 515u);
        EXPECT_EQ(r.sampleCount, 400u);
        EXPECT_EQ(r.index, index);
        EXPECT_EQ(r.k, 10u);
        EXPECT_EQ(r.m, 3u);
        EXPECT_EQ(r.tail, 0u);
        EXPECT_EQ(recovery[index].size(), 11u + 120u);
    }
    // The next group starts at the position of its own first frame.
    EXPECT_EQ(readFrameHeader(f.sink.packets.back().bytes).position, 515u + 9 * 2040 + 400);

    // A group closed with more frames than k carries their number; the position field keeps the
    // low 32 bits, the count field the low 16.
    Fixture g(10, 2, 0xFFFFFF00u);
    for (int i = 0; i < 7; ++i) g.frame(64, 0x12345);
    g.set(5, 2);
    g.frame(64, 0x12345);
    const RecoveryFieldsRead r = readRecoveryHeader(g.recoveryPackets().at(0));
    EXPECT_EQ(r.k, 8u);
    EXPECT_EQ(r.firstPosition, 0xFFFFFF00u);
    EXPECT_EQ(r.sampleCount, 0x2345u);
}

TEST(RedundancyGroup, FramesArePaddedToTheLargestAsTheExampleShows) {
    // Largest frame 403 bytes: B = 408. The 397-byte frame gets pad 11 (class 1), the 120-byte
    // frame pad 288 (class 2), the 403-byte frame pad 5 (class 1). With m = 1 the one recovery
    // block is the XOR of the three prepared frames.
    Fixture f(3, 1);
    f.frame(403, 2040, 1);
    f.frame(397, 2040, 2);
    f.frame(120, 2040, 3);
    ASSERT_EQ(f.sink.packets.size(), 4u);
    Bytes a = f.sink.packets[0].bytes, b = f.sink.packets[1].bytes, c = f.sink.packets[2].bytes;
    a.resize(408, 0);
    a[1] |= 0x04;
    a[407] = 5;
    b.resize(408, 0);
    b[1] |= 0x04;
    b[407] = 11;
    c.resize(408, 0);
    c[1] |= 0x08;
    c[406] = 0x01;
    c[407] = 0x20;
    const Bytes& recovery = f.sink.packets[3].bytes;
    ASSERT_EQ(recovery.size(), 11u + 408u);
    for (std::size_t i = 0; i < 408; ++i) {
        ASSERT_EQ(recovery[11 + i], a[i] ^ b[i] ^ c[i]) << "byte " << i;
    }

    // With k = 1 every recovery packet carries the prepared frame itself.
    Fixture one(1, 2);
    one.frame(403, 2040, 1);
    ASSERT_EQ(one.sink.packets.size(), 3u);
    for (int r = 1; r <= 2; ++r) {
        EXPECT_EQ(Bytes(one.sink.packets[r].bytes.begin() + 11, one.sink.packets[r].bytes.end()), a) << "copy " << r;
    }
}

TEST(RedundancyGroup, PadClassAndCountAtTheEndOfARebuiltFrame) {
    // Two frames, the first of B = 512 bytes, both lost and rebuilt from three recovery packets.
    const struct {
        std::uint32_t length;
        int padClass;
        Bytes tail;  // the last bytes of the prepared block
    } cases[] = {
        {512, 0, {}}, {511, 1, {0x01}}, {257, 1, {0xFF}}, {256, 2, {0x01, 0x00}}, {10, 2, {0x01, 0xF6}},
    };
    for (const auto& c : cases) {
        // Stale bytes of an earlier group sit in the rows; the padding must clear them.
        Fixture f(2, 3);
        f.frame(512, 2040, 9);
        f.frame(512, 2040, 10);
        f.sink.packets.clear();
        f.frame(512, 2040, 1);
        f.frame(c.length, 2040, 2);
        const std::vector<Bytes> recovery = f.recoveryPackets();
        ASSERT_EQ(recovery.size(), 3u);
        std::vector<Bytes> blocks(2, Bytes(512, 0));
        for (const Bytes& r : recovery) blocks.emplace_back(r.begin() + 11, r.end());
        const auto rebuilt = reference::decode(blocks, {true, true, false, false, false}, 2, 3);
        ASSERT_TRUE(rebuilt.has_value());
        const Bytes& block = (*rebuilt)[1];
        const std::string name = "frame of " + std::to_string(c.length) + " bytes";
        EXPECT_EQ((block[1] >> 2) & 3, c.padClass) << name;
        EXPECT_TRUE(std::equal(c.tail.begin(), c.tail.end(), block.end() - c.tail.size())) << name;
        for (std::size_t i = c.length; i < 512 - c.tail.size(); ++i) ASSERT_EQ(block[i], 0) << name << " byte " << i;
        EXPECT_EQ(unpad(block), f.sink.packets[1].bytes) << name;
        EXPECT_EQ(unpad((*rebuilt)[0]), f.sink.packets[0].bytes) << name;
    }
}

TEST(RedundancyGroup, OversizedRecoveryPacketsAreReportedNotSent) {
    const struct {
        std::uint32_t largest;
        std::size_t packetBytes;  // 0: none sent
        const char* message;
    } cases[] = {
        {2032, 2043, nullptr},
        {2033, 0, "Redundancy packet too large: 2051 bytes"},
        {2047, 0, "Redundancy packet too large: 2059 bytes"},
    };
    for (const auto& c : cases) {
        Fixture f(2, 2);
        f.frame(100);
        f.frame(c.largest);
        f.c.settleLog();
        const std::vector<Bytes> recovery = f.recoveryPackets();
        const std::string name = "largest frame " + std::to_string(c.largest);
        ASSERT_EQ(recovery.size(), c.packetBytes != 0 ? 2u : 0u) << name;
        for (const Bytes& r : recovery) EXPECT_EQ(r.size(), c.packetBytes) << name;
        // Reported once per group, not once per packet.
        EXPECT_EQ(f.c.log->count("Redundancy packet too large"), c.message != nullptr ? 1u : 0u) << name;
        if (c.message != nullptr) {
            EXPECT_EQ(f.c.log->count(c.message), 1u) << name;
        }
    }

    // A run of oversized groups is reported at its start; a group that fits ends the run.
    Fixture f(1, 1);
    for (std::uint32_t length : {2040u, 2040u, 2040u, 500u, 2040u}) f.frame(length);
    f.c.settleLog();
    EXPECT_EQ(f.c.log->count("Redundancy packet too large"), 2u);
    EXPECT_EQ(f.order(), "FFFFR0F");
}

TEST(RedundancyGroup, RefusedCodingIsReportedAndTheNextGroupStartsFresh) {
    // 199 frames held, then k lowered to 2 with m = 254: the closing group of 200 frames and
    // 254 recovery blocks is beyond the code.
    Fixture f(200, 56);
    for (int i = 0; i < 199; ++i) f.frame(40);
    f.set(2, 254);
    f.frame(40);
    f.c.settleLog();
    EXPECT_TRUE(f.recoveryPackets().empty());
    EXPECT_EQ(f.c.log->count("Failed to generate data for redundant blocks"), 1u);
    const std::vector<std::string> status = f.c.statusTexts();
    ASSERT_EQ(status.size(), 1u);
    EXPECT_NE(status[0].find("Failed to generate data for redundant blocks"), std::string::npos);

    f.set(2, 2);
    f.sink.packets.clear();
    f.frame(40);
    f.frame(40);
    EXPECT_EQ(f.order(), "FFR0R1");
    EXPECT_EQ(readRecoveryHeader(f.sink.packets[2].bytes).k, 2u);
}
