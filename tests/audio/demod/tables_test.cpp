// The demodulator's constant tables against the values stated for them.
#include "audio/demod/BandMask.h"
#include "audio/demod/CarrierTables.h"
#include "audio/demod/PilotTracker.h"
#include "audio/demod/RampTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

using kestrava::audio::demod::BandMask;
using kestrava::audio::demod::CarrierTables;
using kestrava::audio::demod::PilotTracker;
using kestrava::audio::demod::RampTables;

namespace {

// A few units in the last place: the cosine and power of another maths library may differ there.
void expectClose(float actual, double expected, const char* what, int index) {
    EXPECT_NEAR(actual, expected, std::abs(expected) * 4e-7 + 1e-12) << what << "[" << index << "]";
}

}  // namespace

TEST(RampTables, WindowsHaveTheirStatedValues) {
    const auto ramps = std::make_unique<RampTables>();
    const float* a = ramps->analysisWindow;
    const float* s = ramps->synthesisWindow;
    const struct {
        const char* what;
        int index;
        double value;
    } cases[] = {
        {"analysis", 0, 5.8827413e-7},    {"analysis", 4095, 5.8827413e-7}, {"analysis", 1, 5.2944592e-6},
        {"analysis", 511, 0.49923301},    {"analysis", 512, 0.50076699},    {"analysis", 1023, 0.9999994},
        {"analysis", 3072, 0.9999994},    {"synthesis", 0, 6.3078252e-5},   {"synthesis", 255, 0.4170805},
        {"synthesis", 511, 0.99890923},   {"synthesis", 512, 1.0010875},    {"synthesis", 660, 1.1312343},
        {"synthesis", 767, 1.100069},     {"synthesis", 1023, 1.0000006},   {"synthesis", 3435, 1.1312343},
        {"synthesis", 4095, 6.3078252e-5},
    };
    for (const auto& c : cases) expectClose((c.what[0] == 'a' ? a : s)[c.index], c.value, c.what, c.index);

    const struct {
        int index;
        double value;
    } combined[] = {{0, 3.7107303e-11}, {511, 0.49868846}, {512, 0.5013116}, {1023, 1.0}};
    for (const auto& c : combined) expectClose(a[c.index] * s[c.index], c.value, "combined", c.index);

    for (int n = 1024; n < 3072; ++n) {
        ASSERT_EQ(a[n], 1.0f) << n;
        ASSERT_EQ(s[n], 1.0f) << n;
    }
    for (int n = 0; n < 4096; ++n) {
        ASSERT_LE(s[n], s[660]) << n;
        ASSERT_EQ(a[n], a[4095 - n]) << n;
    }
}

TEST(RampTables, OverlappingFramesAddUpToOne) {
    const auto ramps = std::make_unique<RampTables>();
    const float* a = ramps->analysisWindow;
    const float* s = ramps->synthesisWindow;
    float previous = 0.0f;
    for (int n = 0; n < 1024; ++n) {
        const float rising = a[n] * s[n];
        const float falling = a[n + 3072] * s[n + 3072];
        EXPECT_NEAR(rising + falling, 1.0f, 2e-7f) << n;
        EXPECT_GE(rising, previous) << n;  // the rising flank never falls
        previous = rising;
    }
}

TEST(CarrierTables, RowsHoldOneCycleOfEachCarrier) {
    const auto tables = std::make_unique<CarrierTables>();
    const struct {
        int row;
        float pilot, stereo, rds, stereoQuadrature, rdsQuadrature;
    } cases[] = {
        {0, 0, 0, 0, 1, 1},
        {1024, 1, 0, -1, -1, 0},
        {2048, 0, 0, 0, 1, -1},
        {4096, 0, 0, 0, 1, 1},
    };
    for (const auto& c : cases) {
        const float* row = tables->carrierTable[c.row];
        EXPECT_NEAR(row[0], c.pilot, 1e-7f) << c.row;
        EXPECT_NEAR(row[1], c.stereo, 1e-7f) << c.row;
        EXPECT_NEAR(row[2], c.rds, 1e-7f) << c.row;
        EXPECT_NEAR(row[3], c.stereoQuadrature, 1e-7f) << c.row;
        EXPECT_NEAR(tables->rdsQuadratureCarrierTable[c.row], c.rdsQuadrature, 1e-7f) << c.row;
    }
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(tables->carrierTable[4097][j], tables->carrierTable[1][j], 1e-7f) << j;
    // Each pair of a carrier and its quadrature partner lies on the unit circle, and the harmonics
    // follow from the fundamental.
    for (int k = 0; k < 4098; ++k) {
        const float* row = tables->carrierTable[k];
        ASSERT_NEAR(row[1] * row[1] + row[3] * row[3], 1.0f, 1e-6f) << k;
        ASSERT_NEAR(row[2] * row[2] + tables->rdsQuadratureCarrierTable[k] * tables->rdsQuadratureCarrierTable[k],
                    1.0f, 1e-6f)
            << k;
        const double fundamental = 2.0 * 3.141592653589793 * k / 4096.0;
        ASSERT_NEAR(row[0], std::sin(fundamental), 1e-7) << k;
        ASSERT_NEAR(row[2], std::sin(3.0 * fundamental), 1e-6) << k;
    }
}

namespace {

struct MaskCase {
    unsigned rate;
    int lowHz, highHz, rollOffHz;
    float d;
    unsigned firstUnitBin, lastUnitBin;
    unsigned passStart, passEnd, zeroStart;
    int lowNegligibleBin;   // first bin below the band with a gain under 2^-19, or -1
    unsigned highNegligibleBin;
};

// The built values stated for the three bands at both sample rates.
const MaskCase maskCases[] = {
    {192000, 0, 16500, 500, 0.7818439f, 0, 352, 0, 704, 816, -1, 406},
    {192000, 18675, 19325, 150, 0.3919058f, 398, 413, 800, 824, 856, 383, 428},
    {192000, 0, 2375, 150, 0.3919058f, 0, 51, 0, 104, 136, -1, 66},
    {176400, 0, 16500, 500, 0.7983764f, 0, 384, 0, 768, 888, -1, 443},
    {176400, 18675, 19325, 150, 0.4290988f, 433, 449, 872, 896, 936, 417, 465},
    {176400, 0, 2375, 150, 0.4290988f, 0, 56, 0, 112, 144, -1, 72},
};

}  // namespace

TEST(BandMask, BuildsTheStatedGainsAndBoundsAtBothRates) {
    for (const MaskCase& c : maskCases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, band " << c.lowHz << ".." << c.highHz);
        auto mask = std::make_unique<BandMask>(c.lowHz, c.highHz, c.rollOffHz);
        mask->setSampleRate(c.rate);
        EXPECT_EQ(mask->sampleRate, c.rate);
        EXPECT_EQ(mask->passStart, c.passStart);
        EXPECT_EQ(mask->passEnd, c.passEnd);
        EXPECT_EQ(mask->zeroStart, c.zeroStart);
        const float* g = mask->gains;
        for (unsigned k = c.firstUnitBin; k <= c.lastUnitBin; ++k) {
            ASSERT_EQ(g[2 * k], 1.0f) << k;
            ASSERT_EQ(g[2 * k + 1], 1.0f) << k;
        }
        for (unsigned e = c.passStart + 1; e < c.passEnd; ++e) ASSERT_EQ(g[e], 1.0f) << e;
        EXPECT_FLOAT_EQ(g[2 * (c.lastUnitBin + 1)], c.d);
        EXPECT_FLOAT_EQ(g[2 * (c.lastUnitBin + 2)], c.d * c.d);
        // The first gain under 2^-19 above the band is kept, everything after it is 0.
        EXPECT_LT(g[2 * c.highNegligibleBin], 0x1p-19f);
        EXPECT_GT(g[2 * c.highNegligibleBin], 0.0f);
        EXPECT_GE(g[2 * (c.highNegligibleBin - 1)], 0x1p-19f);
        for (unsigned e = 2 * (c.highNegligibleBin + 1); e <= 4096; ++e) ASSERT_EQ(g[e], 0.0f) << e;
        if (c.lowNegligibleBin >= 0) {
            const unsigned bin = static_cast<unsigned>(c.lowNegligibleBin);
            EXPECT_LT(g[2 * bin], 0x1p-19f);
            EXPECT_GT(g[2 * bin], 0.0f);
            EXPECT_GE(g[2 * (bin + 1)], 0x1p-19f);
            for (unsigned e = 0; e < 2 * bin; ++e) ASSERT_EQ(g[e], 0.0f) << e;
            EXPECT_FLOAT_EQ(g[2 * (c.firstUnitBin - 1)], c.d);
        } else {
            EXPECT_EQ(g[0], 1.0f);
        }
        for (unsigned e = 0; e <= 4096; ++e) ASSERT_EQ(g[e & ~1u], g[e | 1u]) << e;
    }
}

TEST(BandMask, RebuildsOnlyWhenTheRateChanges) {
    auto mask = std::make_unique<BandMask>(18675, 19325, 150);
    auto fresh = std::make_unique<BandMask>(18675, 19325, 150);
    fresh->setSampleRate(192000);
    mask->setSampleRate(192000);
    mask->gains[900] = 7.0f;  // a rebuild would overwrite it
    mask->setSampleRate(192000);
    EXPECT_EQ(mask->gains[900], 7.0f);
    mask->setSampleRate(176400);
    mask->setSampleRate(192000);
    EXPECT_EQ(std::memcmp(mask->gains, fresh->gains, 4097 * sizeof(float)), 0);
    EXPECT_EQ(mask->zeroStart, fresh->zeroStart);
}

TEST(BandMask, AnUpperEdgeAboveHalfTheRateLeavesEveryGainOneAndClearsOnlyTheTop) {
    auto mask = std::make_unique<BandMask>(0, 30000, 500);
    mask->setSampleRate(48000);
    EXPECT_EQ(mask->zeroStart, 4096u);
    for (unsigned e = 0; e <= 4096; ++e) ASSERT_EQ(mask->gains[e], 1.0f) << e;
}

TEST(PilotTracker, RateConstantsHaveTheirStatedValues) {
    const struct {
        unsigned rate;
        float minimum, maximum, nominal, inverseTwoSine;
    } cases[] = {
        {192000, 0.6152286f, 0.6283185f, 0.6217736f, 0.8584019f},
        {176400, 0.6696365f, 0.6838841f, 0.6767603f, 0.7983769f},
    };
    for (const auto& c : cases) {
        PilotTracker tracker;
        tracker.pilotIncrement = 0.5f;
        tracker.pilotPhase = 1.25f;
        tracker.setSampleRate(c.rate);
        EXPECT_FLOAT_EQ(tracker.pilotMinIncrement, c.minimum) << c.rate;
        EXPECT_FLOAT_EQ(tracker.pilotMaxIncrement, c.maximum) << c.rate;
        EXPECT_FLOAT_EQ(tracker.pilotNominalIncrement, c.nominal) << c.rate;
        EXPECT_EQ(tracker.pilotIncrement, tracker.pilotNominalIncrement) << c.rate;
        EXPECT_FLOAT_EQ(tracker.pilotInverseTwoSine, c.inverseTwoSine) << c.rate;
        EXPECT_EQ(tracker.pilotPhase, 1.25f) << c.rate;
        EXPECT_FLOAT_EQ(tracker.pilotPhaseGain, 0.01f);
        EXPECT_FLOAT_EQ(tracker.pilotIncrementGain, 0.00005f);
        EXPECT_FLOAT_EQ(tracker.inverseTwoPi, 0.15915494f);
        EXPECT_FLOAT_EQ(tracker.pilotMeanSquare, 0.00405f);
    }
}
