// kestrava-tool demod --rate HZ: demodulates a composite signal (float32 little-endian) from
// standard input into records of six float32 little-endian values (left, right, quadrature,
// pilot phase, RDS, composite) on standard output; then prints the pilot level and the RDS flag
// of the last frame on standard error.
#include "tool/Commands.h"

#include "audio/demod/MPXD.h"
#include "logging/KestravaInstanceConfig.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using kestrava::audio::demod::MPXD;

namespace {

struct Record {
    float left, right, quad, pilot, rds, mpx;
};
static_assert(sizeof(Record) == 6 * sizeof(float));

int usage(std::FILE* out = stderr) {
    std::fprintf(out, "usage: kestrava-tool demod --rate HZ < composite.f32 > records.f32\n"
                      "  HZ: the input rate, %u..%u (required). Writes records of six float32 values (left,\n"
                      "  right, quadrature, pilot phase, RDS, composite), then prints the pilot level and the\n"
                      "  RDS flag of the last frame on standard error (\"no pilot found\" without a frame).\n",
                 MPXD::minSampleRate, MPXD::maxSampleRate);
    return out == stdout ? 0 : 2;
}

bool parseRate(const char* text, std::uint32_t& rate) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || value > 0xFFFFFFFFull || text[0] == '-') return false;
    rate = static_cast<std::uint32_t>(value);
    return true;
}

bool writeRecords(const Record* records, std::uint32_t n) {
    static_assert(std::endian::native == std::endian::little, "records are written in host order");
    return std::fwrite(records, sizeof(Record), n, stdout) == n;
}

}  // namespace

int runDemodCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) return usage(stdout);
    std::uint32_t rate = 0;
    if (argc != 2 || std::strcmp(argv[0], "--rate") != 0 || !parseRate(argv[1], rate)) return usage();
    if (rate < MPXD::minSampleRate || rate > MPXD::maxSampleRate) {
        std::fprintf(stderr, "kestrava-tool demod: rate %u Hz outside %u..%u Hz\n", rate, MPXD::minSampleRate,
                     MPXD::maxSampleRate);
        return 2;
    }

    KestravaInstanceConfig config(static_cast<std::int32_t>(rate), 2040);
    auto demodulator = std::make_unique<MPXD>(&config);
    if (!demodulator->transformsAvailable()) {
        std::fprintf(stderr, "kestrava-tool demod: no FFT plan for 4096 points\n");
        return 1;
    }
    demodulator->setSampleRate(rate);
    demodulator->reset();

    std::vector<float> chunk(MPXD::hop);
    std::vector<Record> records(MPXD::hop);
    MPXD::Ring& input = demodulator->inputBuffer();
    std::uint64_t frames = 0;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), sizeof(float), chunk.size(), stdin);
        if (got > 0) input.write(chunk.data(), static_cast<std::uint32_t>(got));
        while (input.available() >= MPXD::frameLength) {
            const std::uint32_t n = demodulator->readOutput(records.data(), MPXD::hop);
            ++frames;
            if (!writeRecords(records.data(), n)) {
                std::fprintf(stderr, "kestrava-tool demod: cannot write the records\n");
                return 1;
            }
        }
        if (got < chunk.size()) break;
    }
    if (std::ferror(stdin)) {
        std::fprintf(stderr, "kestrava-tool demod: cannot read the composite signal\n");
        return 1;
    }
    std::fflush(stdout);
    if (frames == 0) {
        // Too short for one frame: there is no level to report, only the start value.
        std::fprintf(stderr, "no pilot found (the input holds less than one frame of %u samples)\n", MPXD::frameLength);
        return 0;
    }
    const float level = std::sqrt(demodulator->pilotMeanSquare() * 2.0f);
    std::fprintf(stderr, "pilot level %.6f, RDS %s\n", static_cast<double>(level),
                 demodulator->rdsQuadrature() ? "in quadrature (flag set)" : "in phase (flag clear)");
    return 0;
}
