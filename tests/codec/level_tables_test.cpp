#include "codec/Codec.h"
#include "codec/Quantizer.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

using kestrava::codec::Codec;
using kestrava::codec::LevelClass;
using kestrava::codec::Quantizer;
using kestrava::codec::levelClassCount;

using namespace codec_test;

namespace {

struct Quantizers {
    std::unique_ptr<Quantizer<double, 1>> d = std::make_unique<Quantizer<double, 1>>();
    std::unique_ptr<Quantizer<float, 1>> f = std::make_unique<Quantizer<float, 1>>();
};

const Quantizers& quantizers() {
    static const Quantizers q;
    return q;
}

}  // namespace

TEST(LevelTables, ClassShapesAndTopLevelsHaveTheStatedBits) {
    const struct {
        std::uint32_t count, bits, linearLimit;
        double afterLinear;  // levels[linearLimit + 1]
        std::uint64_t top;   // levels[count - 1] as double bits
        float floatTop;
    } cases[] = {
        {32, 5, 3, 4.26, 0x40EAE82FCC2934D5, 55105.4921875f},
        {64, 6, 6, 7.050000000000001, 0x40ECC5CBA913111C, 58926.36328125f},
        {128, 7, 13, 14.007499999999999, 0x40EF7DA2A920B3F0, 64493.08203125f},
        {256, 8, 29, 30.00775, 0x40EFE802EDBF903D, 65344.08984375f},
        {512, 9, 65, 66.01400000000001, 0x40EF9DA4D5666859, 64749.15234375f},
        {1024, 10, 144, 145.00512, 0x40EFCB73FAD86208, 65115.625f},
        {2048, 11, 325, 326.002625, 0x40EFECE0360ABD87, 65383.0078125f},
        {4096, 12, 748, 749.000263, 0x40EFFEA3AB149878, 65525.11328125f},
    };
    for (int k = 0; k < levelClassCount; ++k) {
        SCOPED_TRACE(k);
        const auto& c = cases[k];
        const LevelClass<double>& d = quantizers().d->levelClasses[k];
        EXPECT_EQ(d.levelCount, c.count);
        EXPECT_EQ(d.levelBits, c.bits);
        EXPECT_EQ(d.linearLimit, c.linearLimit);
        EXPECT_EQ(d.levels[c.linearLimit + 1], c.afterLinear);
        EXPECT_EQ(bits(d.levels[c.count - 1]), c.top);
        const LevelClass<float>& f = quantizers().f->levelClasses[k];
        EXPECT_EQ(f.levelCount, c.count);
        EXPECT_EQ(f.levelBits, c.bits);
        EXPECT_EQ(f.linearLimit, c.linearLimit);
        EXPECT_EQ(f.levels[c.count - 1], c.floatTop);
    }
    EXPECT_EQ(bits(quantizers().f->levelClasses[7].levels[4095]), 0x477FF51Du);
}

TEST(LevelTables, ListedEntriesOfTheDoubleClasses) {
    const struct {
        int levelClass;
        int index;
        double level;
    } cases[] = {
        {0, 0, 0.0}, {0, 1, 1.0}, {0, 2, 2.0}, {0, 3, 3.0}, {0, 4, 4.26}, {0, 5, 6.049199999999999},
        {0, 6, 8.589863999999999}, {0, 7, 12.197606879999997}, {0, 8, 17.320601769599996},
        {1, 7, fromBits(std::uint64_t{0x401C333333333334})}, {1, 8, 8.283750000000001}, {1, 9, 9.733406250000002},
        {2, 14, fromBits(std::uint64_t{0x402C03D70A3D70A3})}, {2, 15, 15.093081249999997},
        {4, 66, fromBits(std::uint64_t{0x405080E560418938})},
        {7, 0, 0.0}, {7, 747, 747.0}, {7, 748, 748.0}, {7, 749, 749.000263}, {7, 750, 750.0018636016968},
        {7, 1000, 1047.5033613438459}, {7, 2000, 3985.9124582990044}, {7, 3000, 15167.013979641171},
        {7, 4094, 65437.60819228904}, {7, 4095, 65525.114633844176},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bits(quantizers().d->levelClasses[c.levelClass].levels[c.index]), bits(c.level))
            << "class " << c.levelClass << " index " << c.index;
    }
    // The spacings the coders rely on: 1 in the linear part, the first geometric one just above 1.
    const LevelClass<double>& c7 = quantizers().d->levelClasses[7];
    EXPECT_EQ(c7.levels[749] - c7.levels[748], 1.000263000000018);
    EXPECT_EQ(c7.levels[4095] - c7.levels[4094], 87.50644155513874);
}

TEST(LevelTables, FloatClassZeroInFull) {
    const float expected[32] = {0, 1, 2, 3, 4.26f, 6.0492f, 8.589864f, 12.197607f, 17.320602f, 24.595255f,
                                34.925262f, 49.593872f, 70.423294f, 100.00108f, 142.00154f, 201.64218f,
                                286.3319f, 406.5913f, 577.3596f, 819.8507f, 1164.188f, 1653.147f, 2347.4688f,
                                3333.4055f, 4733.4355f, 6721.479f, 9544.5f, 13553.189f, 19245.53f, 27328.652f,
                                38806.688f, 55105.492f};
    for (int i = 0; i < 32; ++i) EXPECT_EQ(quantizers().f->levelClasses[0].levels[i], expected[i]) << i;
    // Float levels after the linear limit of the float table.
    const float afterLinear[8] = {4.26f, 7.05f, 14.0075f, 30.00775f, 66.014f, 145.00513f, 326.00262f, 749.00024f};
    for (int k = 0; k < levelClassCount; ++k) {
        const LevelClass<float>& c = quantizers().f->levelClasses[k];
        EXPECT_EQ(c.levels[c.linearLimit + 1], afterLinear[k]) << k;
    }
}

TEST(LevelTables, EveryClassKeepsItsInvariantsAndFloatLevelsAreRoundedDoubles) {
    for (int k = 0; k < levelClassCount; ++k) {
        SCOPED_TRACE(k);
        const LevelClass<double>& d = quantizers().d->levelClasses[k];
        const LevelClass<float>& f = quantizers().f->levelClasses[k];
        EXPECT_EQ(d.levelCount, 1u << d.levelBits);
        EXPECT_LT(d.linearLimit, d.levelCount);
        for (std::uint32_t i = 0; i <= d.linearLimit; ++i) ASSERT_EQ(d.levels[i], static_cast<double>(i)) << i;
        double smallestStep = 1e9;
        for (std::uint32_t i = 1; i < d.levelCount; ++i) smallestStep = std::min(smallestStep, d.levels[i] - d.levels[i - 1]);
        EXPECT_EQ(smallestStep, 1.0);
        EXPECT_GT(d.levels[d.levelCount - 1], 32768.0);
        EXPECT_LT(d.levels[d.levelCount - 1], 65536.0);
        for (std::uint32_t i = 0; i < d.levelCount; ++i) {
            ASSERT_EQ(bits(f.levels[i]), bits(static_cast<float>(d.levels[i]))) << i;
        }
    }
}

TEST(LevelTables, NewQuantizerStartsWithItsStepBounds) {
    EXPECT_EQ(quantizers().d->minStepFactor, 100000.0);
    EXPECT_EQ(quantizers().d->minStep, 3.0517578125e-05);
    EXPECT_EQ(quantizers().f->minStepFactor, 100000.0f);
    EXPECT_EQ(quantizers().f->minStep, 3.0517578125e-05f);
}

TEST(LevelTables, FillingTwiceLeavesTheClassesUnchanged) {
    auto again = std::make_unique<Quantizer<float, 1>>();
    Codec<float, 4>::initTables(again->levelClasses);
    auto doubleAgain = std::make_unique<Quantizer<double, 1>>();
    Codec<double, 0>::initTables(doubleAgain->levelClasses);
    for (int k = 0; k < levelClassCount; ++k) {
        const std::uint32_t n = again->levelClasses[k].levelCount;
        EXPECT_EQ(0, std::memcmp(again->levelClasses[k].levels, quantizers().f->levelClasses[k].levels, n * sizeof(float)));
        EXPECT_EQ(0, std::memcmp(doubleAgain->levelClasses[k].levels, quantizers().d->levelClasses[k].levels,
                                 n * sizeof(double)));
    }
}

TEST(LevelTables, MagnitudesMapToTheNearestLevel) {
    const struct {
        int levelClass;
        std::uint32_t magnitude, index;
    } cases[] = {
        {0, 0, 0}, {0, 3, 3}, {0, 4, 4}, {0, 5, 4}, {0, 6, 5}, {0, 46956, 30}, {0, 46957, 31}, {0, 55105, 31}, {0, 60000, 31},
        {0, 4000000000u, 31}, {1, 9, 8}, {7, 748, 748}, {7, 749, 749}, {7, 65481, 4094}, {7, 65482, 4095}, {7, 65526, 4095},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quantizers().d->levelClasses[c.levelClass].indexOf(c.magnitude), c.index)
            << "double class " << c.levelClass << " magnitude " << c.magnitude;
        EXPECT_EQ(quantizers().f->levelClasses[c.levelClass].indexOf(c.magnitude), c.index)
            << "float class " << c.levelClass << " magnitude " << c.magnitude;
    }
    // A magnitude halfway between two levels takes the upper one.
    auto halfway = std::make_unique<LevelClass<double>>();
    const double levels[8] = {0, 1, 2, 4, 6, 9, 13, 20};
    std::copy(levels, levels + 8, halfway->levels);
    halfway->levelCount = 8;
    halfway->linearLimit = 2;
    EXPECT_EQ(halfway->indexOf(5), 4u);
    EXPECT_EQ(halfway->indexOf(3), 3u);
    EXPECT_EQ(halfway->indexOf(11), 6u);
}
