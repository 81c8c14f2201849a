// kestrava-tool test-signal --rate HZ [--seconds S]: writes a composite test signal (float32
// little-endian) on standard output, for the fake sound card and the offline encoder:
//   - a 19 kHz pilot at 9 % of full scale,
//   - a stereo tone: 1 kHz on the left at half scale, 400 Hz on the right at 0.3, sent as sum
//     and difference (the difference on the 38 kHz subcarrier, locked to the pilot),
//   - an RDS data stream at 1187.5 bit/s (differentially coded, biphase symbols shaped as one
//     sine cycle per bit) on the 57 kHz subcarrier at 4 % of full scale.
// The signal is the same on every run: the RDS data bits come from a fixed linear-feedback
// sequence, so encoder runs over it can be compared bit for bit.
#include "tool/Commands.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
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

// Differentially coded RDS data: each data bit from a 15-bit maximal-length sequence.
class RdsBits {
public:
    int next() {
        const unsigned bit = ((state >> 14) ^ (state >> 13)) & 1u;
        state = ((state << 1) | bit) & 0x7FFFu;
        level ^= static_cast<int>(bit);
        return level;
    }

private:
    unsigned state = 0x2A5Bu;
    int level = 0;
};

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

    constexpr double twoPi = 2.0 * std::numbers::pi;
    constexpr double rdsBitRate = 1187.5;
    const auto total = static_cast<std::uint64_t>(seconds * rate);
    RdsBits bits;
    int symbol = bits.next() != 0 ? 1 : -1;
    std::uint64_t bitIndex = 0;
    std::vector<float> chunk(4096);
    for (std::uint64_t n = 0; n < total;) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), total - n));
        for (std::size_t i = 0; i < count; ++i, ++n) {
            const double t = static_cast<double>(n) / rate;
            const double theta = twoPi * 19000.0 * t;
            const double left = 0.5 * std::sin(twoPi * 1000.0 * t);
            const double right = 0.3 * std::sin(twoPi * 400.0 * t);
            const double bitPosition = t * rdsBitRate;
            const auto bitNow = static_cast<std::uint64_t>(bitPosition);
            while (bitIndex < bitNow) {
                symbol = bits.next() != 0 ? 1 : -1;
                ++bitIndex;
            }
            const double rds = symbol * std::sin(twoPi * (bitPosition - static_cast<double>(bitNow)));
            const double composite = 0.45 * (left + right) + 0.45 * (left - right) * std::sin(2.0 * theta) +
                                     0.09 * std::sin(theta) + 0.04 * rds * std::sin(3.0 * theta);
            chunk[i] = static_cast<float>(composite);
        }
        if (std::fwrite(chunk.data(), sizeof(float), count, stdout) != count) {
            std::fprintf(stderr, "kestrava-tool test-signal: cannot write the signal\n");
            return 1;
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
