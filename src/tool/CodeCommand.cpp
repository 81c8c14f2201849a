// kestrava-tool code: codes blocks of three channel planes with the encoder of one codec version and
// its rate control, and writes the level codes and the encoder's reconstruction of every block.
#include "tool/Commands.h"

#include "codec/BitRateRange.h"
#include "codec/CodecSession.h"
#include "codec/LegacyQuantizer.h"
#include "codec/entropy/EntropyCoder.h"
#include "codec/frame/AudioPayload.h"
#include "logging/KestravaInstanceConfig.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using kestrava::codec::frame::AudioPayload;

using kestrava::codec::CodecSession;
using kestrava::codec::legacyLevelScale;

using kestrava::codec::entropy::EntropyCoder;

static_assert(std::endian::native == std::endian::little, "the tool reads and writes little-endian data as is");

namespace {

constexpr std::uint32_t stride = 8192;

void usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "usage: kestrava-tool code --version V --rate KBPS [--plus] [--vbr] --block N\n"
                 "  Reads blocks of three channel planes at 38,400 samples/s from standard input (float32\n"
                 "  little-endian; first main, second main, third channel, N samples each, plane after\n"
                 "  plane) and writes per block the three planes of level codes (int16 little-endian)\n"
                 "  followed by the encoder's reconstruction of the three planes (float32; the main\n"
                 "  channels' after their pre-filter).\n"
                 "  V: codec version 0 (legacy), 1, 2 or 3. KBPS: version 0 takes 320, 340, 360, 384 or\n"
                 "  400; versions 1 and 2 take 320..576; version 3 takes 320..1000, with --plus 160..1000.\n"
                 "  N: 1..8192 (version 0: 1..4128). --plus and --vbr (noise level 32; needs --plus) are\n"
                 "  for version 3, off by default. Rate control runs after every block with the length of the audio payload\n"
                 "  that the entropy coder gives (pilot phase included; no reset block, RDS section or\n"
                 "  transport header). The encoder starts without a reset packet: step factors 1\n"
                 "  (version 3: its rate's step scale).\n");
}

int fail(const char* message) {
    std::fprintf(stderr, "kestrava-tool code: %s\n", message);
    usage();
    return 2;
}

bool parse(const char* text, long low, long high, long& value) {
    const std::string_view s(text);
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size() && value >= low && value <= high;
}

bool readExactly(void* data, std::size_t size, bool& clean) {
    const std::size_t got = std::fread(data, 1, size, stdin);
    clean = got == 0;
    return got == size;
}

}  // namespace

int runCodeCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) {
        usage(stdout);
        return 0;
    }
    long version = -1, rate = -1, block = -1;
    bool plus = false, vbr = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view option(argv[i]);
        if (option == "--plus") {
            plus = true;
        } else if (option == "--vbr") {
            vbr = true;
        } else if (option == "--version" || option == "--rate" || option == "--block") {
            if (i + 1 >= argc) return fail("missing value after an option");
            long* target = option == "--version" ? &version : option == "--rate" ? &rate : &block;
            if (!parse(argv[++i], 0, 100000, *target)) return fail("option value is not a number in range");
        } else {
            return fail("unknown option");
        }
    }
    if (version < 0 || version > 3) return fail("--version must be 0, 1, 2 or 3");
    if ((plus || vbr) && version != 3) return fail("--plus and --vbr need --version 3");
    const std::string refusal =
        kestrava::codec::bitRateRefusal(static_cast<std::int32_t>(version), static_cast<std::int32_t>(rate), plus);
    if (!refusal.empty()) return fail(("--rate: " + refusal).c_str());
    if (vbr && !plus) return fail("--vbr needs --plus");

    KestravaInstanceConfig config{192000, 2040};
    CodecSession::Settings settings;
    settings.version = static_cast<std::int32_t>(version);
    settings.rate = static_cast<std::uint32_t>(rate);
    settings.plusMode = plus;
    settings.variableRate = vbr;
    settings.noiseLevel = vbr ? 32 : 1;
    CodecSession session(&config, settings);
    if (!session.ok()) {
        std::fprintf(stderr, "kestrava-tool code: the encoder could not be built\n");
        return 1;
    }
    if (block < 1 || static_cast<std::uint32_t>(block) > session.maxBlockLength()) {
        return fail("--block must be 1..8192 (version 0: 1..4128)");
    }
    const auto n = static_cast<std::uint32_t>(block);

    auto coder = std::make_unique<EntropyCoder>(&config);
    const auto legacyRange = static_cast<std::int32_t>(legacyLevelScale(static_cast<std::uint32_t>(rate)));
    if (!coder->configureReset(legacyRange, session.indexBits())) {
        std::fprintf(stderr, "kestrava-tool code: the entropy coder refused its set-up\n");
        return 1;
    }
    std::unique_ptr<AudioPayload> payload{new AudioPayload};
    if (payload == nullptr) return 1;
    std::vector<std::uint8_t> frame(AudioPayload::bufferSize);
    std::vector<float> planes(3 * stride), reconstruction(3 * stride);
    std::vector<std::int32_t> codes(3 * stride);
    std::vector<std::int16_t> codesOut(3 * n);
    std::vector<float> reconstructionOut(3 * n);

    for (std::uint64_t index = 0;; ++index) {
        bool clean = false;
        for (int c = 0; c < 3; ++c) {
            if (!readExactly(planes.data() + c * stride, n * sizeof(float), clean)) {
                if (clean && c == 0) return 0;
                std::fprintf(stderr, "kestrava-tool code: input ends inside block %llu\n",
                             static_cast<unsigned long long>(index));
                return 1;
            }
        }
        const CodecSession::Block coded = session.code(planes.data(), codes.data(), n, reconstruction.data());
        for (int c = 0; c < 3; ++c) {
            for (std::uint32_t i = 0; i < n; ++i) {
                codesOut[c * n + i] = static_cast<std::int16_t>(std::clamp(codes[c * stride + i], -32768, 32767));
                reconstructionOut[c * n + i] = reconstruction[c * stride + i];
            }
        }
        if (std::fwrite(codesOut.data(), sizeof(std::int16_t), codesOut.size(), stdout) != codesOut.size() ||
            std::fwrite(reconstructionOut.data(), sizeof(float), reconstructionOut.size(), stdout) !=
                reconstructionOut.size()) {
            std::fprintf(stderr, "kestrava-tool code: writing the output failed\n");
            return 1;
        }
        const AudioPayload::Planes views{{codes.data(), n}, {codes.data() + stride, n}, {codes.data() + 2 * stride, n}};
        const AudioPayload::Request request{n, 0, 0, coded.thirdSilent != 0, static_cast<std::int32_t>(rate),
                                            static_cast<std::uint32_t>(version)};
        AudioPayload::Result result;
        if (!payload->encode(views, request, *coder, frame.data(), result)) {
            std::fprintf(stderr, "kestrava-tool code: block %llu cannot be entropy-coded; no rate update\n",
                         static_cast<unsigned long long>(index));
            continue;
        }
        session.rateUpdate(n, static_cast<std::int32_t>(result.frameLength + result.thirdLength), coded);
    }
}
