// Codec version 3 end to end: the offline chain codes the composite test signal, the stream
// decoder reads its packets and the single-precision plane rebuilder turns the codes back into
// planes, which must equal the encoder's own reconstruction bit for bit, from the first frame or
// from a later reset packet on.
#include "EncodedRun.h"
#include "decoder/PlaneDecoder.h"
#include "decoder/StreamDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <sstream>
#include <vector>

using namespace streamdecoder;

namespace {

// The composite test signal times `gain`, plus seeded white noise of amplitude `noise` (noise
// reaches the quadrature channel, which the clean test signal leaves silent).
EncodedRun encode(const OfflineChainOptions& options, double seconds, float gain, float noise) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> uniform(-noise, noise);
    return encodeTestSignal(options, seconds, [&](float* chunk, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) chunk[i] = chunk[i] * gain + uniform(random);
    });
}

// "" when equal; else the first differing frame, plane and sample with both values.
std::string firstDifference(const std::vector<float>& decoded, const std::vector<float>& encoder, std::size_t frame) {
    if (decoded.size() != encoder.size()) {
        return "frame " + std::to_string(frame) + ": " + std::to_string(decoded.size()) + " samples decoded, " +
               std::to_string(encoder.size()) + " reconstructed";
    }
    if (std::memcmp(decoded.data(), encoder.data(), decoded.size() * sizeof(float)) == 0) return {};
    const std::size_t n = decoded.size() / 3;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (std::bit_cast<std::uint32_t>(decoded[i]) == std::bit_cast<std::uint32_t>(encoder[i])) continue;
        std::ostringstream text;
        text.precision(9);
        text << "frame " << frame << " plane " << i / n << " sample " << i % n << ": decoded " << decoded[i]
             << " (0x" << std::hex << std::bit_cast<std::uint32_t>(decoded[i]) << std::dec << "), encoder "
             << encoder[i] << " (0x" << std::hex << std::bit_cast<std::uint32_t>(encoder[i]) << ")";
        return text.str();
    }
    return {};
}

// Rebuilds the planes of every frame the stream decoder read from `packets` (through the
// dispatch by codec version) and compares each with the encoder's reconstruction of the frame at
// the same stream position. Returns the first difference, or "" when all are equal; `compared`
// counts the frames.
std::string compareStream(const std::vector<Bytes>& packets, const DecoderOptions& options,
                          const StreamDecodeResult& whole, const EncodedRun& encoded, std::size_t& compared) {
    const DecodedPlanes decoded = decodePlanes(decodeStream(packets, options));
    if (decoded.unsupportedFrames != 0) return "frames without a rebuilder";
    compared = decoded.planes.size();
    for (std::size_t f = 0; f < decoded.planes.size(); ++f) {
        const auto at = std::find(whole.positions.begin(), whole.positions.end(), decoded.positions[f]);
        if (at == whole.positions.end()) return "a frame at a position the encoder never sent";
        const auto index = static_cast<std::size_t>(at - whole.positions.begin());
        std::vector<float> planes;
        for (const auto& plane : decoded.planes[f]) planes.insert(planes.end(), plane.begin(), plane.end());
        std::vector<float> expected;
        for (const auto& plane : encoded.reconstruction[index]) expected.insert(expected.end(), plane.begin(), plane.end());
        std::string difference = firstDifference(planes, expected, index);
        if (!difference.empty()) return difference;
    }
    return {};
}

struct RoundTripCase {
    const char* name;
    std::int32_t kbps;
    bool plus, vbr;
    std::int32_t k, m;
    bool protect;
    float gain = 1.0f, noise = 0.0f;
    std::uint32_t inputRate = 192000;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class FloatRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(FloatRoundTrip, PlanesEqualTheEncodersReconstruction) {
    const RoundTripCase c = GetParam();
    OfflineChainOptions o;
    o.inputRate = c.inputRate;
    o.version = 3;
    o.kbps = c.kbps;
    o.plusMode = c.plus;
    o.variableBitRate = c.vbr;
    o.groupFrames = c.k;
    o.recoveryPackets = c.m;
    o.resetInterval = 0.6f;
    DecoderOptions d;
    d.inputRate = c.inputRate;
    if (c.protect) {
        o.key = Key{0x3C, 0x11, 0x92, 0x05, 0x44, 0xA5, 0x66, 0x07, 0x88, 0x19, 0xAA, 0x0B, 0xCC, 0x5D, 0xEE, 0x0F};
        d.key = o.key;
    }
    const EncodedRun encoded = encode(o, 2.0, c.gain, c.noise);
    const StreamDecodeResult whole = decodeStream(encoded.packets, d);
    ASSERT_EQ(whole.frames.size(), encoded.reconstruction.size());
    ASSERT_EQ(whole.unreadableFrames, 0u);
    std::vector<std::size_t> resets;
    std::size_t thirdCoded = 0;
    for (std::size_t f = 0; f < whole.frames.size(); ++f) {
        if (whole.frames[f].reset) resets.push_back(f);
        thirdCoded += whole.frames[f].thirdSilent ? 0 : 1;
    }
    ASSERT_GE(resets.size(), 3u);
    if (c.noise >= 0.01f) {
        EXPECT_GT(thirdCoded, whole.frames.size() / 2) << "the noise should reach the third channel";
    }

    std::size_t compared = 0;
    ASSERT_EQ(compareStream(encoded.packets, d, whole, encoded, compared), "");
    EXPECT_EQ(compared, whole.frames.size());

    // Joining late: the packets before the third reset packet's frame never arrive.
    const std::uint32_t joinPosition = whole.positions[resets[2]];
    std::vector<Bytes> late;
    for (const Bytes& packet : encoded.packets) {
        const StreamDecodeResult one = decodeStream({packet}, d);
        if (late.empty() && (one.frames.empty() || one.positions.front() != joinPosition)) continue;
        late.push_back(packet);
    }
    ASSERT_EQ(compareStream(late, d, whole, encoded, compared), "") << "joined late";
    EXPECT_EQ(compared, whole.frames.size() - resets[2]);

    if (c.m > 0) {
        // Up to m packets lost in every run of k + m (so in every group) change nothing; then a
        // whole group lost: decoding resumes at the next reset packet.
        const std::size_t period = static_cast<std::size_t>(c.k + c.m);
        const std::size_t lostGroup = (resets[1] + resets[2]) / 2 / static_cast<std::size_t>(c.k);
        const std::size_t burstFrom = lostGroup * period;
        std::vector<Bytes> lossy;
        for (std::size_t i = 0; i < encoded.packets.size(); ++i) {
            const bool spread = i < burstFrom && i % period < static_cast<std::size_t>(c.m);
            const bool burst = i >= burstFrom && i <= burstFrom + static_cast<std::size_t>(c.m);
            if (!spread && !burst) lossy.push_back(encoded.packets[i]);
        }
        ASSERT_EQ(compareStream(lossy, d, whole, encoded, compared), "") << "with losses";
        // Every frame but those from the lost group up to the next reset packet.
        EXPECT_EQ(compared, whole.frames.size() - (resets[2] - lostGroup * static_cast<std::size_t>(c.k)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Version3, FloatRoundTrip,
    ::testing::Values(RoundTripCase{"320", 320, false, false, 0, 0, false},
                      RoundTripCase{"640 with noise", 640, false, false, 0, 0, false, 1.0f, 0.05f},
                      RoundTripCase{"Plus 192", 192, true, false, 0, 0, false, 1.0f, 0.01f},
                      RoundTripCase{"384 at 176400", 384, false, false, 0, 0, false, 1.0f, 0.01f, 176400},
                      RoundTripCase{"VBR without Plus", 320, false, true, 0, 0, false},
                      RoundTripCase{"Plus 176 with loud noise", 176, true, false, 0, 0, false, 1.0f, 0.5f},
                      RoundTripCase{"Plus and VBR 256", 256, true, true, 0, 0, false, 1.0f, 0.01f},
                      RoundTripCase{"Plus and VBR 176, near silence", 176, true, true, 0, 0, false, 0.0f, 1e-5f},
                      RoundTripCase{"Silence", 320, false, false, 0, 0, false, 0.0f, 0.0f},
                      RoundTripCase{"1000, redundancy and protection", 1000, false, false, 16, 3, true, 1.0f, 0.02f}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) {
        std::string name = info.param.name;
        std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
        return name;
    });

}  // namespace
