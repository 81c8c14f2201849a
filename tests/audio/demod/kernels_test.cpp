// The frame-step routines of both builds against each other, byte for byte, and against the
// masking rules.
#include "audio/demod/CarrierTables.h"
#include "audio/demod/DemodKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

using kestrava::audio::demod::CarrierTables;
using kestrava::audio::demod::DemodKernels;
using kestrava::audio::demod::avx2DemodKernels;
using kestrava::audio::demod::genericDemodKernels;

namespace {

constexpr std::size_t floats = 4128;
constexpr float guard = -12345.0f;

struct Buffers {
    explicit Buffers(std::uint32_t seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        for (auto* b : {a, b2, c, d, gains}) {
            for (std::size_t i = 0; i < floats; ++i) b[i] = value(random);
        }
    }
    alignas(64) float a[floats];
    alignas(64) float b2[floats];
    alignas(64) float c[floats];
    alignas(64) float d[floats];
    alignas(64) float gains[floats];
};

std::vector<const DemodKernels*> builds() {
    std::vector<const DemodKernels*> all{&genericDemodKernels()};
    if (const DemodKernels* avx2 = avx2DemodKernels()) all.push_back(avx2);
    return all;
}

}  // namespace

TEST(DemodKernels, MaskingMultipliesTheRunsClearsTheStopBandAndTouchesNothingElse) {
    const struct {
        std::uint32_t passStart, passEnd, zeroStart;
    } cases[] = {{0, 704, 816}, {800, 824, 856}, {0, 104, 4096}, {0, 900, 800}, {0, 704, 5000}, {5000, 5008, 5016}};
    for (const DemodKernels* build : builds()) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << build->name << " " << c.passStart << "/" << c.passEnd << "/" << c.zeroStart);
            auto buffers = std::make_unique<Buffers>(c.passEnd);
            std::vector<float> before(buffers->a, buffers->a + floats);
            build->applyBandMask(buffers->a, buffers->gains, c.passStart, c.passEnd, c.zeroStart);
            for (std::uint32_t i = 0; i < floats; ++i) {
                float expected = before[i];
                if (i <= 4096 && (i <= c.passStart || (c.passEnd <= c.zeroStart && i >= c.passEnd && i <= c.zeroStart))) {
                    expected = before[i] * buffers->gains[i];
                }
                if (c.zeroStart <= 4096 && i >= c.zeroStart && i <= 4096) expected = 0.0f;
                ASSERT_EQ(buffers->a[i], expected) << i;
            }
        }
    }
}

TEST(DemodKernels, BothBuildsAgreeBitForBit) {
    const DemodKernels* avx2 = avx2DemodKernels();
    if (avx2 == nullptr) GTEST_SKIP() << "no AVX2 on this processor";
    const auto tables = std::make_unique<CarrierTables>();
    const DemodKernels* pair[] = {&genericDemodKernels(), avx2};
    std::unique_ptr<Buffers> results[2];
    for (int b = 0; b < 2; ++b) {
        auto buffers = std::make_unique<Buffers>(15);
        alignas(64) float phases[floats];
        std::mt19937 random(16);
        std::uniform_real_distribution<float> cycle(0.0f, 1.0f);
        for (float& p : phases) p = cycle(random);
        // The edges of the tables: exactly 0, just below 1, and values the loop never gives.
        const float edges[] = {0.0f, std::nextafter(1.0f, 0.0f), 0.5f, -0.0f, std::numeric_limits<float>::quiet_NaN(),
                               -0.25f, 1.75f, std::numeric_limits<float>::infinity()};
        for (std::size_t i = 0; i < std::size(edges); ++i) phases[100 + i] = edges[i];
        const DemodKernels& k = *pair[b];
        for (float* guarded : {buffers->a, buffers->b2, buffers->c, buffers->d}) {
            std::fill(guarded + 4098, guarded + floats, guard);
        }
        k.taper(buffers->a, buffers->gains);
        k.mixCarriers(phases, tables->carrierTable, tables->rdsQuadratureCarrierTable, buffers->a, buffers->b2,
                      buffers->c, buffers->d);
        k.stereoMatrix(buffers->a, buffers->b2, buffers->c, buffers->d);
        k.applyBandMask(buffers->c, buffers->gains, 0, 704, 816);
        results[b] = std::move(buffers);
    }
    for (auto member : {&Buffers::a, &Buffers::b2, &Buffers::c, &Buffers::d}) {
        EXPECT_EQ(std::memcmp((*results[0]).*member, (*results[1]).*member, sizeof(float) * floats), 0);
        EXPECT_EQ(((*results[1]).*member)[4127], guard);
    }
}

TEST(DemodKernels, CarriersAtPhaseZeroUseRowZeroUnchanged) {
    const auto tables = std::make_unique<CarrierTables>();
    for (const DemodKernels* build : builds()) {
        auto buffers = std::make_unique<Buffers>(3);
        alignas(64) float phases[floats] = {};
        const std::vector<float> a(buffers->a, buffers->a + 4096), c(buffers->d, buffers->d + 4096);
        build->mixCarriers(phases, tables->carrierTable, tables->rdsQuadratureCarrierTable, buffers->a, buffers->b2,
                           buffers->c, buffers->d);
        for (int i = 0; i < 4096; ++i) {
            ASSERT_EQ(buffers->a[i], 0.0f * a[i]) << build->name << " " << i;   // sin 0
            ASSERT_EQ(buffers->b2[i], 2.0f * a[i]) << build->name << " " << i;  // cos 0, times 2
            ASSERT_EQ(buffers->d[i], c[i]) << build->name << " " << i;          // cos 0
        }
    }
}
