// The offline chain end to end into the test-side stream decoder: every packet it writes is
// read back (through recovery and protection), one reconstruction per decoded frame, the same
// bytes on every run.
#include "EncodedRun.h"
#include "decoder/StreamDecoder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace streamdecoder;

namespace {

struct ChainCase {
    std::int32_t version, kbps;
    bool plus, vbr;
    std::int32_t k, m;
    bool protect;
    std::uint32_t rate;
};

class OfflineChainStream : public ::testing::TestWithParam<ChainCase> {};

TEST_P(OfflineChainStream, EveryFrameDecodesAndHasItsReconstruction) {
    const ChainCase c = GetParam();
    OfflineChainOptions o;
    o.inputRate = c.rate;
    o.version = c.version;
    o.kbps = c.kbps;
    o.plusMode = c.plus;
    o.variableBitRate = c.vbr;
    o.groupFrames = c.k;
    o.recoveryPackets = c.m;
    o.resetInterval = 1.0f;
    DecoderOptions d;
    d.inputRate = c.rate;
    if (c.protect) {
        o.key = Key{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
        d.key = o.key;
    }
    const EncodedRun run = encodeTestSignal(o, 2.5);
    const StreamDecodeResult r = decodeStream(run.packets, d);
    ASSERT_GT(r.frames.size(), 50u);
    EXPECT_EQ(r.unreadableFrames, 0u);
    EXPECT_EQ(r.skippedFrames, 0u);
    EXPECT_EQ(r.gaps, 0u);
    EXPECT_EQ(r.received.rejectedPackets, 0u);
    ASSERT_EQ(run.reconstruction.size(), r.frames.size());
    std::size_t resets = 0;
    for (std::size_t i = 0; i < r.frames.size(); ++i) {
        EXPECT_EQ(run.reconstruction[i][0].size(), r.frames[i].planeLength) << "frame " << i;
        EXPECT_EQ(r.frames[i].parameters.version, c.version);
        if (r.frames[i].reset) ++resets;
    }
    EXPECT_GE(resets, 2u);  // the first frame and at least one after the reset interval
    EXPECT_TRUE(r.frames.front().reset.has_value());

    // Frames plus the group's recovery packets.
    if (c.k > 0) {
        EXPECT_GE(run.packets.size(), r.frames.size() + (r.frames.size() / static_cast<std::size_t>(c.k)) * c.m);
    } else {
        EXPECT_EQ(run.packets.size(), r.frames.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, OfflineChainStream,
                         ::testing::Values(ChainCase{0, 320, false, false, 0, 0, false, 192000},
                                           ChainCase{1, 400, false, false, 8, 2, false, 192000},
                                           ChainCase{2, 320, false, false, 0, 0, true, 176400},
                                           ChainCase{3, 320, true, true, 64, 4, true, 192000}));

TEST(OfflineChain, SameInputGivesTheSameBytes) {
    OfflineChainOptions o;
    o.groupFrames = 4;
    o.recoveryPackets = 1;
    const EncodedRun a = encodeTestSignal(o, 1.0);
    const EncodedRun b = encodeTestSignal(o, 1.0);
    ASSERT_FALSE(a.packets.empty());
    EXPECT_EQ(a.packets, b.packets);
    EXPECT_EQ(a.reconstruction, b.reconstruction);
}

TEST(OfflineChain, RefusesWhatItCannotCode) {
    for (const auto& [rate, version] : {std::pair{48000u, 3}, std::pair{100000u, 3}, std::pair{192000u, 4}}) {
        OfflineChainOptions o;
        o.inputRate = rate;
        o.version = version;
        OfflineChain chain(o);
        EXPECT_NE(chain.error(), "") << rate << " " << version;
        float samples[16] = {};
        chain.feed(samples, 16);  // does nothing, never crashes
    }
}

}  // namespace
