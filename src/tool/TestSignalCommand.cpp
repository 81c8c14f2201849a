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

namespace {

int usage() {
    std::fprintf(stderr, "usage: kestrava-tool test-signal --rate HZ [--seconds S] > composite.f32\n");
    return 2;
}

bool parseNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
}

}  // namespace

int runTestSignalCommand(int argc, char** argv) {
    double rate = 0.0, seconds = 10.0;
    bool haveRate = false;
    if (argc % 2 != 0) return usage();
    for (int i = 0; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--rate") == 0 && parseNumber(argv[i + 1], 38400.0, 384000.0, rate)) {
            haveRate = true;
        } else if (!(std::strcmp(argv[i], "--seconds") == 0 && parseNumber(argv[i + 1], 0.0, 86400.0, seconds))) {
            return usage();
        }
    }
    if (!haveRate || rate != std::floor(rate)) return usage();
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
