#include "codec/entropy/MagnitudeCounts.h"
#include "codec/entropy/RandomPlanes.h"
#include "platform/CpuFeatures.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

namespace MagnitudeCounts = kestrava::codec::entropy::MagnitudeCounts;

using namespace MagnitudeCounts;

TEST(MagnitudeCounts, Avx2BuildCountsLikeTheReference) {
    if (!kestrava::cpuFeatures().avx2) GTEST_SKIP() << "processor without AVX2";
    const std::uint32_t seed = streamtest::testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> offset(0, 7);
    for (const std::uint32_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 37u, 816u, 16384u}) {
        for (const double spread : {0.5, 20.0, 300.0}) {
            // The edges of both tables and of the integer range, at random places.
            std::vector<std::int32_t> values = streamtest::randomPlane(random, length + 8, spread, 70000);
            const std::int32_t edges[] = {15, -15, 16, -16, 254, -254, 255, -255, INT_MIN, INT_MAX, 0};
            for (std::size_t i = 0; i < values.size(); i += 5) values[i] = edges[(i / 5) % std::size(edges)];
            const std::int32_t* start = values.data() + offset(random);  // unaligned starts too

            std::array<std::uint64_t, 16> reference16{}, avx16{};
            count16Generic(start, length, reference16);
            count16Avx2(start, length, avx16);
            EXPECT_EQ(avx16, reference16) << "length " << length;

            std::array<std::uint32_t, 256> referenceWide{}, avxWide{};
            countWideGeneric(start, length, referenceWide);
            countWideAvx2(start, length, avxWide);
            EXPECT_EQ(avxWide, referenceWide) << "length " << length;
        }
    }
}
