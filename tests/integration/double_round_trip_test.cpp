// Codec versions 1 and 2 end to end: the offline chain codes the composite test signal, the
// test-side decoder reads its packets and rebuilds the three planes, and every sample equals the
// encoder's own reconstruction bit for bit. Also when the decoder joins at a later reset packet,
// when up to m packets of every redundancy group are lost, and after a loss beyond repair from
// the next reset packet on.
#include "EncodedRun.h"
#include "decoder/PlaneDecoder.h"
#include "decoder/StreamDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <map>
#include <random>
#include <sstream>
#include <vector>

using namespace streamdecoder;

namespace {

constexpr float resetInterval = 0.7f;

// The first sample, in stream order, where the rebuilt planes differ from the encoder's, or "".
// `sentIndex` maps a stream position to the index of the frame the encoder sent there.
std::string firstDifference(const DecodedPlanes& decoded, const EncodedRun& sent,
                            const std::map<std::uint32_t, std::size_t>& sentIndex) {
    for (std::size_t f = 0; f < decoded.planes.size(); ++f) {
        const auto at = sentIndex.find(decoded.positions[f]);
        if (at == sentIndex.end()) return "frame at position " + std::to_string(decoded.positions[f]) + " never sent";
        const auto& expected = sent.reconstruction[at->second];
        for (int c = 0; c < 3; ++c) {
            const auto& got = decoded.planes[f][static_cast<std::size_t>(c)];
            if (got.size() != expected[c].size()) return "frame " + std::to_string(at->second) + ": plane length";
            for (std::size_t i = 0; i < got.size(); ++i) {
                if (std::bit_cast<std::uint32_t>(got[i]) != std::bit_cast<std::uint32_t>(expected[c][i])) {
                    std::ostringstream s;
                    s.precision(9);
                    s << "sent frame " << at->second << " (decoded frame " << f << ", position " << decoded.positions[f]
                      << ") plane " << c << " sample " << i << ": rebuilt " << got[i] << ", encoder "
                      << expected[c][i];
                    return s.str();
                }
            }
        }
    }
    return "";
}

struct RoundTripCase {
    std::int32_t version, kbps;
    std::int32_t k, m;
    bool protect;
    std::uint32_t inputRate;
};

std::ostream& operator<<(std::ostream& o, const RoundTripCase& c) {
    return o << "version " << c.version << ", " << c.kbps << " kbit/s, k " << c.k << " m " << c.m
             << (c.protect ? ", protected" : "") << ", " << c.inputRate << " Hz";
}

class DoubleRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(DoubleRoundTrip, PlanesEqualTheEncodersReconstruction) {
    const RoundTripCase c = GetParam();
    OfflineChainOptions o;
    o.inputRate = c.inputRate;
    o.version = c.version;
    o.kbps = c.kbps;
    o.groupFrames = c.k;
    o.recoveryPackets = c.m;
    o.resetInterval = resetInterval;
    DecoderOptions d;
    d.inputRate = c.inputRate;
    if (c.protect) {
        o.key = Key{0x3C, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F};
        d.key = o.key;
    }
    const EncodedRun sent = encodeTestSignal(o, 2.2);

    // The whole stream.
    const StreamDecodeResult all = decodeStream(sent.packets, d);
    ASSERT_EQ(all.frames.size(), sent.reconstruction.size());
    ASSERT_EQ(all.unreadableFrames, 0u);
    std::map<std::uint32_t, std::size_t> sentIndex;
    std::vector<std::size_t> resetFrames;
    for (std::size_t i = 0; i < all.frames.size(); ++i) {
        sentIndex[all.positions[i]] = i;
        if (all.frames[i].reset) resetFrames.push_back(i);
    }
    ASSERT_GE(resetFrames.size(), 3u) << "a reset packet every " << resetInterval << " s";
    const DecodedPlanes planes = decodePlanes(all);
    EXPECT_EQ(planes.unsupportedFrames, 0u);
    ASSERT_EQ(planes.planes.size(), sent.reconstruction.size());
    EXPECT_EQ(firstDifference(planes, sent, sentIndex), "");

    // Joined in the middle: the decoder starts at the next reset packet and agrees from there.
    {
        const std::vector<Bytes> late(sent.packets.begin() + static_cast<std::ptrdiff_t>(sent.packets.size() * 2 / 5),
                                      sent.packets.end());
        const DecodedPlanes joined = decodePlanes(decodeStream(late, d));
        ASSERT_FALSE(joined.positions.empty());
        EXPECT_GT(sentIndex.at(joined.positions.front()), resetFrames[0]);
        EXPECT_EQ(firstDifference(joined, sent, sentIndex), "") << "joined late";
    }
    if (c.m == 0) return;

    // Packets lost: up to m of every group, chosen at random, which the recovery packets make
    // good; and m + 1 frame packets of one group near the middle, which they cannot. The planes
    // are exact up to that gap and again from the next reset packet on.
    const std::size_t group = static_cast<std::size_t>(c.k + c.m);
    const std::size_t wholeGroups = sent.packets.size() / group;
    const std::size_t broken = wholeGroups / 2;
    std::mt19937 random(1234);
    std::vector<Bytes> lossy;
    std::size_t lost = 0;
    for (std::size_t g = 0; g * group < sent.packets.size(); ++g) {
        const std::size_t size = std::min(group, sent.packets.size() - g * group);
        std::vector<bool> keep(size, true);
        if (g == broken) {
            for (std::size_t i = 0; i <= static_cast<std::size_t>(c.m); ++i) keep[i] = false;
        } else if (g < wholeGroups) {
            std::vector<std::size_t> order(size);
            for (std::size_t i = 0; i < size; ++i) order[i] = i;
            std::shuffle(order.begin(), order.end(), random);
            const std::size_t drop = random() % (static_cast<std::size_t>(c.m) + 1);
            for (std::size_t i = 0; i < drop; ++i) keep[order[i]] = false;
            lost += drop;
        }
        for (std::size_t i = 0; i < size; ++i) {
            if (keep[i]) lossy.push_back(sent.packets[g * group + i]);
        }
    }
    ASSERT_GT(lost, wholeGroups / 2);
    const StreamDecodeResult r = decodeStream(lossy, d);
    EXPECT_EQ(r.received.groupsBeyondRepair, 1u);
    EXPECT_EQ(r.gaps, 1u);
    const DecodedPlanes rebuilt = decodePlanes(r);
    // Lost for good: the group's frames from the first one lost to the next reset packet.
    const std::size_t firstLost = broken * static_cast<std::size_t>(c.k);
    const auto nextReset = std::find_if(resetFrames.begin(), resetFrames.end(),
                                        [&](std::size_t f) { return f > firstLost + static_cast<std::size_t>(c.m); });
    ASSERT_NE(nextReset, resetFrames.end()) << "the signal is too short to resume";
    EXPECT_EQ(rebuilt.planes.size(), sent.reconstruction.size() - (*nextReset - firstLost));
    EXPECT_EQ(firstDifference(rebuilt, sent, sentIndex), "") << "with packets lost";
}

INSTANTIATE_TEST_SUITE_P(Versions, DoubleRoundTrip,
                         ::testing::Values(RoundTripCase{1, 320, 0, 0, false, 192000},
                                           RoundTripCase{1, 576, 8, 2, true, 176400},
                                           RoundTripCase{2, 400, 16, 3, false, 192000},
                                           RoundTripCase{2, 800, 5, 1, true, 192000}));

}  // namespace

namespace {

// Damaged packets that still read as frames carry codes the encoder never sent; rebuilding them
// gives other planes but never reads outside a table or stops the decoder.
TEST(DoubleRoundTripDamage, DamagedFramesNeverCrashThePlaneRebuilder) {
    OfflineChainOptions o;
    o.version = 2;
    o.kbps = 480;
    o.resetInterval = 0.2f;
    const EncodedRun sent = encodeTestSignal(o, 0.8);
    std::mt19937 random(77);
    for (int round = 0; round < 8; ++round) {
        std::vector<Bytes> packets = sent.packets;
        for (int d = 0; d < 12; ++d) {
            Bytes& p = packets[random() % packets.size()];
            p[random() % p.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        }
        const StreamDecodeResult r = decodeStream(packets, DecoderOptions{});
        const DecodedPlanes planes = decodePlanes(r);
        ASSERT_EQ(planes.planes.size() + planes.unsupportedFrames, r.frames.size()) << "round " << round;
        for (std::size_t f = 0; f < planes.planes.size(); ++f) {
            for (const auto& plane : planes.planes[f]) ASSERT_EQ(plane.size(), r.frames[f].planeLength);
        }
    }
}

}  // namespace
