// Far-fetched input for every codec version: huge, tiny, NaN and infinite composite samples. Each
// sent frame must decode to the encoder's own reconstruction bit for bit, and the stream must carry
// on after a single bad sample. Blocks the coder cannot keep finite are not sent at all; a decoder
// could not be relied upon to follow them.
#include "EncodedRun.h"
#include "decoder/PlaneDecoder.h"
#include "decoder/StreamDecoder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <sstream>
#include <vector>

using namespace streamdecoder;

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

struct Input {
    const char* name;
    float value;           // replaces samples from..from+count (count 0: multiplies every sample)
    std::size_t from, count;
    bool recovers;         // at least most of the frames go out
};

const Input inputs[] = {
    {"one sample of 1000", 1000.0f, 100000, 1, true},
    {"one sample of 1e20", 1e20f, 100000, 1, true},
    {"a run of 1e30", 1e30f, 100000, 2000, true},
    {"one NaN sample", nan, 100000, 1, true},
    {"a run of NaN", nan, 100000, 2000, true},
    {"one infinite sample", inf, 100000, 1, true},
    {"a run of minus infinity", -inf, 100000, 2000, true},
    {"tiny signal (times 1e-38)", 1e-38f, 0, 0, true},
    {"every sample 1e30", 1e30f, 0, std::numeric_limits<std::size_t>::max(), false},
};

struct Coder {
    std::int32_t version, kbps;
    bool plus;
};

const Coder coders[] = {{0, 400, false}, {1, 400, false}, {2, 576, false}, {3, 1000, false}, {3, 192, true}};

std::string compare(const EncodedRun& run, const DecodedPlanes& decoded) {
    if (decoded.planes.size() != run.reconstruction.size()) {
        return std::to_string(decoded.planes.size()) + " frames rebuilt, " + std::to_string(run.reconstruction.size()) +
               " sent";
    }
    for (std::size_t f = 0; f < decoded.planes.size(); ++f) {
        for (std::size_t c = 0; c < 3; ++c) {
            const std::vector<float>& got = decoded.planes[f][c];
            const std::vector<float>& want = run.reconstruction[f][c];
            if (got.size() == want.size() && std::memcmp(got.data(), want.data(), got.size() * sizeof(float)) == 0) {
                continue;
            }
            for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
                if (std::bit_cast<std::uint32_t>(got[i]) == std::bit_cast<std::uint32_t>(want[i])) continue;
                std::ostringstream text;
                text << "frame " << f << " plane " << c << " sample " << i << ": decoded " << got[i] << ", encoder "
                     << want[i];
                return text.str();
            }
            return "frame " + std::to_string(f) + ": plane lengths differ";
        }
    }
    return "";
}

// One case per coder, so that each stays well inside the time-out of the sanitizer builds; every
// case codes the same 1.2 s of the test signal, generated once.
class ExtremeInputRoundTrip : public ::testing::TestWithParam<Coder> {};

const std::vector<float>& testSignal() {
    static const std::vector<float> signal = compositeTestSignal(OfflineChainOptions{}.inputRate, 1.2);
    return signal;
}

TEST_P(ExtremeInputRoundTrip, SentFramesDecodeToTheReconstructionAndTheStreamRecovers) {
    const Coder& coder = GetParam();
    for (const Input& input : inputs) {
        SCOPED_TRACE(std::string(input.name) + ", version " + std::to_string(coder.version) +
                     (coder.plus ? " Plus" : ""));
        OfflineChainOptions o;
        o.version = coder.version;
        o.kbps = coder.kbps;
        o.plusMode = coder.plus;
        o.resetInterval = 0.5f;
        std::size_t at = 0;
        const EncodedRun run = encodeSignal(o, testSignal(), [&](float* chunk, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i, ++at) {
                if (input.count == 0) {
                    chunk[i] *= input.value;
                } else if (at >= input.from && at - input.from < input.count) {
                    chunk[i] = input.value;
                }
            }
        });
        const StreamDecodeResult stream = decodeStream(run.packets, DecoderOptions{});
        EXPECT_EQ(stream.unreadableFrames, 0u);
        EXPECT_EQ(compare(run, decodePlanes(stream)), "");
        if (input.recovers) {
            // 1.2 s in blocks of 408 samples at 38.4 kHz: 112 blocks, a few lost at most.
            EXPECT_GT(run.reconstruction.size(), 100u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Coders, ExtremeInputRoundTrip, ::testing::ValuesIn(coders),
                         [](const ::testing::TestParamInfo<Coder>& info) {
                             return "version" + std::to_string(info.param.version) + (info.param.plus ? "Plus" : "");
                         });

}  // namespace
