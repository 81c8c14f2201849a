#pragma once

// Seeded random code planes shaped like a quantiser's output: mostly small codes, runs of zeros
// of every length, and now and then a large code up to a given magnitude.

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace streamtest {

// The seed of a test run: KESTRAVA_TEST_SEED when set, else the fixed default.
inline std::uint32_t testSeed() {
    const char* text = std::getenv("KESTRAVA_TEST_SEED");
    return text != nullptr ? std::uint32_t(std::strtoul(text, nullptr, 10)) : 20261210u;
}

// `count` codes with |code| <= largest; spread sets the typical magnitude.
inline std::vector<std::int32_t> randomPlane(std::mt19937& random, std::size_t count, double spread,
                                             std::uint32_t largest) {
    std::vector<std::int32_t> out;
    std::geometric_distribution<int> small(1.0 / (1.0 + spread));
    std::uniform_int_distribution<int> kind(0, 99);
    std::uniform_int_distribution<int> runLength(1, 40);
    std::uniform_int_distribution<std::uint32_t> big(0, largest);
    while (out.size() < count) {
        const int k = kind(random);
        if (k < 8) {
            out.insert(out.end(), std::size_t(runLength(random)), 0);
            continue;
        }
        std::int64_t magnitude = k < 11 ? std::int64_t(big(random)) : small(random);
        if (magnitude > std::int64_t(largest)) magnitude = largest;
        out.push_back(std::int32_t(random() & 1u ? -magnitude : magnitude));
    }
    out.resize(count);
    return out;
}

}  // namespace streamtest
