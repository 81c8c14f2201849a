// kestrava-tool test-signal --rate HZ [--seconds S]: writes the composite test signal (float32
// little-endian) on standard output, for the fake sound card and the offline encoder.
#include "tool/Commands.h"

#include "audio/soundcard/CompositeTestSignal.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using kestrava::audio::soundcard::CompositeTestSignal;

namespace {

constexpr double lowestRate = 128000.0;  // the composite reaches 60 kHz and more (RDS at 57 kHz)

int usage(std::FILE* out = stderr) {
    std::fprintf(out, "usage: kestrava-tool test-signal --rate HZ [--seconds S] > composite.f32\n"
                      "  HZ: whole samples per second, 128000..384000 (required); S: 0..86400 (default 10)\n");
    return out == stdout ? 0 : 2;
}

int fail(const char* reason) {
    std::fprintf(stderr, "kestrava-tool test-signal: %s\n", reason);
    return usage();
}

bool parseNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
}

}  // namespace

int runTestSignalCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) return usage(stdout);
    double rate = 0.0, seconds = 10.0;
    bool haveRate = false;
    if (argc % 2 != 0) return fail("every option takes a value");
    for (int i = 0; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--rate") == 0) {
            if (!parseNumber(argv[i + 1], 0.0, 384000.0, rate) || rate != std::floor(rate)) {
                return fail("--rate must be a whole number of samples per second up to 384000");
            }
            if (rate < lowestRate) return fail("--rate below 128000 cannot hold the composite signal (RDS at 57 kHz)");
            haveRate = true;
        } else if (std::strcmp(argv[i], "--seconds") == 0) {
            if (!parseNumber(argv[i + 1], 0.0, 86400.0, seconds)) return fail("--seconds must be 0..86400");
        } else {
            return fail("unknown option");
        }
    }
    if (!haveRate) return fail("--rate is required");
    static_assert(std::endian::native == std::endian::little, "samples are written in host order");

    const auto total = static_cast<std::uint64_t>(seconds * rate);
    CompositeTestSignal signal(rate);
    std::vector<float> chunk(4096);
    for (std::uint64_t n = 0; n < total;) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), total - n));
        signal.generate(chunk.data(), count);
        n += count;
        if (std::fwrite(chunk.data(), sizeof(float), count, stdout) != count) {
            std::fprintf(stderr, "kestrava-tool test-signal: cannot write the signal\n");
            return 1;
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
