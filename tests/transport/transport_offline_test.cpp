// The transport sender run offline over a long stream: positions continue frame after frame,
// each group's recovery packets follow its last frame in index order, and any m lost packets of
// a group are rebuilt byte for byte by the test-side decoder from what is left.
#include "transport/TRPSender.h"
#include "ReferenceCode.h"
#include "TransportPackets.h"
#include "net/NetTestConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

using kestrava::transport::TRPSender;

using namespace transporttest;

namespace {

unsigned testSeed() {
    const char* text = std::getenv("KESTRAVA_TEST_SEED");
    return text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 2026u;
}

struct Group {
    std::vector<Bytes> frames;    // as queued
    std::vector<Bytes> recovery;  // whole packets, index order
};

// Rebuilds the group with the packets of `lost` (frames 0..k-1, then recovery 0..m-1) missing and
// checks every frame against what was queued.
void expectRebuilt(const Group& g, const std::vector<bool>& lost, int k, int m, const std::string& name) {
    const std::size_t b = g.recovery[0].size() - 11;
    std::vector<Bytes> blocks;
    for (int j = 0; j < k; ++j) {
        // A received frame is prepared as the sender did: padded to B with its pad at the end.
        const Bytes& frame = g.frames[j];
        Bytes block(b, 0);
        if (!lost[j]) {
            std::copy(frame.begin(), frame.end(), block.begin());
            const std::size_t pad = b - frame.size();
            if (pad >= 256) {
                block[1] |= 0x08;
                block[b - 2] = static_cast<std::uint8_t>(pad >> 8);
                block[b - 1] = static_cast<std::uint8_t>(pad);
            } else if (pad > 0) {
                block[1] |= 0x04;
                block[b - 1] = static_cast<std::uint8_t>(pad);
            }
        }
        blocks.push_back(block);
    }
    for (int r = 0; r < m; ++r) {
        blocks.emplace_back(lost[k + r] ? Bytes(b, 0) : Bytes(g.recovery[r].begin() + 11, g.recovery[r].end()));
    }
    const auto data = reference::decode(blocks, lost, k, m);
    ASSERT_TRUE(data.has_value()) << name;
    for (int j = 0; j < k; ++j) {
        if (lost[j]) {
            ASSERT_EQ(unpad((*data)[j]), g.frames[j]) << name << ", frame " << j;
        }
    }
}

}  // namespace

TEST(TransportOffline, ThousandFramesInGroupsOfTenWithThreeRecoveryPackets) {
    constexpr int k = 10, m = 3, frameTotal = 1000;
    const unsigned seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (KESTRAVA_TEST_SEED)");
    std::mt19937 rng(seed);
    nettest::CapturedConfig c;
    c.config.engine.redundancyDelay = k;
    c.config.engine.redundancyOverhead = m;
    RecordingSink sink;
    TRPSender sender(&c.config, sink, [&] { return static_cast<std::uint32_t>(rng() % 32768); });
    const std::uint32_t start = static_cast<std::uint32_t>(sender.streamPosition());

    std::vector<std::uint32_t> counts;
    for (int i = 0; i < frameTotal; ++i) {
        // Mixed versions, flags, stamps and lengths (8..1800 bytes of payload, some empty).
        const std::uint32_t length = rng() % 8 == 0 ? 0 : 8 + rng() % 1793;
        Bytes payload(length);
        for (auto& byte : payload) byte = static_cast<std::uint8_t>(rng());
        const std::uint32_t count = rng() % 4 == 0 ? 1911 : 2040;
        counts.push_back(count);
        // Drawn one by one: the order of evaluating call arguments is unspecified.
        const auto version = static_cast<std::int32_t>(rng() % 4);
        const unsigned flags = rng() % 16;
        const auto offset = static_cast<float>(rng() % 65536);
        const auto second = static_cast<std::int32_t>(rng() % 86400);
        const float level = static_cast<float>(rng() % 1000) / 999.0f;
        sender.sendFrame(payload.data(), version, length, count, flags & 1, flags & 2, flags & 4, true, flags & 8,
                         offset, second, level);
    }
    ASSERT_EQ(sink.packets.size(), static_cast<std::size_t>(frameTotal + frameTotal / k * m));

    // Queue order: k frames, then recovery 0..m-1 of exactly those frames; positions continue.
    std::vector<Group> groups;
    std::uint32_t expectedPosition = start;
    std::size_t at = 0;
    for (int gi = 0; gi < frameTotal / k; ++gi) {
        Group g;
        std::uint32_t firstPosition = 0;
        for (int j = 0; j < k; ++j, ++at) {
            const Queued& q = sink.packets[at];
            ASSERT_FALSE(q.isRecovery()) << "packet " << at;
            const FrameFieldsRead f = readFrameHeader(q.bytes);
            ASSERT_EQ(f.position, expectedPosition) << "frame " << g.frames.size() + gi * k;
            ASSERT_EQ(f.flags & 0x8C, 0) << "frame " << gi * k + j;  // not recovery, no pad class
            if (j == 0) firstPosition = f.position;
            expectedPosition += counts[gi * k + j];
            g.frames.push_back(q.bytes);
        }
        std::size_t largest = 0;
        for (const Bytes& frame : g.frames) largest = std::max(largest, frame.size());
        for (int r = 0; r < m; ++r, ++at) {
            const Queued& q = sink.packets[at];
            ASSERT_TRUE(q.isRecovery()) << "packet " << at;
            const RecoveryFieldsRead h = readRecoveryHeader(q.bytes);
            ASSERT_EQ(h.index, static_cast<std::uint32_t>(r)) << "group " << gi;
            ASSERT_EQ(h.firstPosition, firstPosition) << "group " << gi;
            ASSERT_EQ(h.sampleCount, counts[gi * k + k - 1]) << "group " << gi;
            ASSERT_EQ(h.k, static_cast<std::uint32_t>(k));
            ASSERT_EQ(h.m, static_cast<std::uint32_t>(m));
            ASSERT_EQ(q.bytes.size(), 11 + ((largest + 7) / 8 * 8)) << "group " << gi;
            g.recovery.push_back(q.bytes);
        }
        groups.push_back(std::move(g));
    }

    // Every loss pattern of up to m packets in the first group; a random pattern in each other.
    const int n = k + m;
    for (unsigned pattern = 1; pattern < (1u << n); ++pattern) {
        if (__builtin_popcount(pattern) > m) continue;
        std::vector<bool> lost(n);
        for (int q = 0; q < n; ++q) lost[q] = (pattern >> q) & 1;
        expectRebuilt(groups[0], lost, k, m, "group 0, pattern " + std::to_string(pattern));
        if (testing::Test::HasFatalFailure()) return;
    }
    for (std::size_t gi = 1; gi < groups.size(); ++gi) {
        std::vector<bool> lost(n, false);
        for (int e = 0; e < m; ++e) lost[rng() % n] = true;
        expectRebuilt(groups[gi], lost, k, m, "group " + std::to_string(gi));
        if (testing::Test::HasFatalFailure()) return;
    }
}
