// Version 0 from composite signal to packets and back: the offline chain codes the test signal,
// the stream decoder reads the packets and the legacy rebuilder turns the codes into planes, which
// must equal the encoder's own reconstruction bit for bit, frame after frame, also when the
// reader joins at a later reset packet, when packets are lost within what recovery repairs, and
// from the next reset packet on after a loss beyond repair.
#include "EncodedRun.h"
#include "decoder/GenerationDecoder.h"
#include "decoder/StreamDecoder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <vector>

using namespace streamdecoder;

namespace {

// Rebuilds the planes of every decoded frame with one generation object, as a reader keeps it
// across a break in the stream, and compares them with the reconstruction of the sent frame of
// the same stream position (`sent`: the whole stream, decoded). Returns the first difference.
std::string compare(const StreamDecodeResult& decoded, const StreamDecodeResult& sent, const EncodedRun& run) {
    if (decoded.frames.empty()) return "no frames to compare";
    if (sent.frames.size() != run.reconstruction.size()) return "sent frames and reconstructions differ in number";
    std::map<std::uint32_t, std::size_t> sentAt;
    for (std::size_t j = 0; j < sent.positions.size(); ++j) sentAt[sent.positions[j]] = j;
    std::unique_ptr<GenerationDecoder> generation = makeLegacyGeneration();
    FramePlanes out{std::vector<float>(maxPlaneLength), std::vector<float>(maxPlaneLength),
                    std::vector<float>(maxPlaneLength)};
    for (std::size_t i = 0; i < decoded.frames.size(); ++i) {
        const DecodedFrame& frame = decoded.frames[i];
        const auto found = sentAt.find(decoded.positions[i]);
        if (found == sentAt.end()) return "a decoded frame at a position never sent";
        const FramePlanes& expected = run.reconstruction[found->second];
        std::ostringstream where;
        where << "sent frame " << found->second << (frame.reset ? " (reset packet)" : "");
        if (frame.reset) generation->loadReset(*frame.reset, frame.parameters);
        generation->decode(frame, {out[0].data(), out[1].data(), out[2].data()});
        for (std::size_t c = 0; c < 3; ++c) {
            if (expected[c].size() != frame.planeLength) return where.str() + ": plane lengths differ";
            if (std::memcmp(expected[c].data(), out[c].data(), frame.planeLength * sizeof(float)) == 0) continue;
            for (std::size_t s = 0; s < frame.planeLength; ++s) {
                if (std::bit_cast<std::uint32_t>(expected[c][s]) != std::bit_cast<std::uint32_t>(out[c][s])) {
                    where << ", plane " << c << ", sample " << s << ": encoder " << std::hexfloat << expected[c][s]
                          << ", decoder " << out[c][s] << " (code " << std::dec << frame.codes[c][s] << ")";
                    return where.str();
                }
            }
        }
    }
    return "";
}

struct RoundTrip {
    const char* name;
    std::int32_t kbps;
    std::uint32_t inputRate;
    std::int32_t groupFrames, recoveryPackets;
    bool protect;
};

}  // namespace

TEST(LegacyRoundTrip, PlanesEqualTheEncodersReconstructionBitForBit) {
    const Key key = {0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78, 0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0};
    const RoundTrip cases[] = {
        {"320 kbit/s", 320, 192000, 0, 0, false},
        {"400 kbit/s, k 6 m 2, protected, packets lost", 400, 192000, 6, 2, true},
        {"340 kbit/s at 176.4 kHz", 340, 176400, 0, 0, false},
    };
    for (const RoundTrip& t : cases) {
        SCOPED_TRACE(t.name);
        OfflineChainOptions o;
        o.version = 0;
        o.kbps = t.kbps;
        o.inputRate = t.inputRate;
        o.groupFrames = t.groupFrames;
        o.recoveryPackets = t.recoveryPackets;
        o.resetInterval = 1.0f;
        DecoderOptions d;
        d.inputRate = t.inputRate;
        if (t.protect) o.key = d.key = key;
        const EncodedRun run = encodeTestSignal(o, 3.5);
        ASSERT_GT(run.reconstruction.size(), 300u);

        const StreamDecodeResult sent = decodeStream(run.packets, d);
        ASSERT_EQ(sent.frames.size(), run.reconstruction.size());
        EXPECT_EQ(sent.unreadableFrames, 0u);
        EXPECT_EQ(compare(sent, sent, run), "");

        // From the first packet, with up to m packets of every group lost when there is recovery.
        std::vector<Bytes> packets = run.packets;
        if (t.recoveryPackets > 0) {
            std::mt19937 random(20261211);
            std::vector<Bytes> kept;
            const auto group = static_cast<std::size_t>(t.groupFrames + t.recoveryPackets);
            for (std::size_t start = 0; start < packets.size(); start += group) {
                const std::size_t end = std::min(packets.size(), start + group);
                const std::size_t lostA = start + random() % group, lostB = start + random() % group;
                for (std::size_t p = start; p < end; ++p) {
                    // The last, incomplete group has no recovery packets yet: keep it whole.
                    if (end - start == group && (p == lostA || p == lostB)) continue;
                    kept.push_back(packets[p]);
                }
            }
            packets = kept;
            const StreamDecodeResult repaired = decodeStream(packets, d);
            EXPECT_EQ(repaired.skippedFrames, 0u);
            ASSERT_EQ(repaired.frames.size(), run.reconstruction.size());
            EXPECT_EQ(compare(repaired, sent, run), "");
        }

        // Joined at 1.5 s: decoding starts at the next reset packet.
        const std::vector<Bytes> late(run.packets.begin() + static_cast<std::ptrdiff_t>(run.packets.size() * 3 / 7),
                                      run.packets.end());
        const StreamDecodeResult joined = decodeStream(late, d);
        ASSERT_FALSE(joined.frames.empty());
        EXPECT_TRUE(joined.frames.front().reset.has_value());
        EXPECT_GT(joined.skippedFrames, 0u);
        EXPECT_LT(joined.frames.size(), run.reconstruction.size() * 4 / 7);
        EXPECT_EQ(compare(joined, sent, run), "");

        // Five frames lost beyond repair at 0.6 s: the reader waits for the next reset packet and
        // the same generation goes on from it.
        if (t.recoveryPackets == 0) {
            std::vector<Bytes> broken = run.packets;
            broken.erase(broken.begin() + 60, broken.begin() + 65);
            const StreamDecodeResult resumed = decodeStream(broken, d);
            EXPECT_GT(resumed.skippedFrames, 0u);
            ASSERT_GT(resumed.frames.size(), 60u);
            EXPECT_TRUE(resumed.frames[60].reset.has_value());
            EXPECT_EQ(compare(resumed, sent, run), "");
        }
    }
}
