#include "codec/CodecKernels.h"
#include "codec/PreFilter.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

using kestrava::codec::CodecKernels;
using kestrava::codec::PreFilter;
using kestrava::codec::avx2CodecKernels;
using kestrava::codec::genericCodecKernels;

using namespace codec_test;

namespace {

constexpr std::uint32_t blockLength = 408;  // one block at 38,400 samples/s

// Runs `seconds` of a signal through the filter block by block; returns the last block's input and output.
template <class Signal>
std::pair<std::vector<float>, std::vector<float>> run(PreFilter& filter, Signal signal, double seconds) {
    const auto blocks = static_cast<std::uint32_t>(seconds * 38400 / blockLength);
    std::vector<float> in(blockLength), out(blockLength);
    std::uint64_t n = 0;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        for (std::uint32_t i = 0; i < blockLength; ++i) in[i] = signal(n++);
        out = in;
        filter.process(out.data(), blockLength);
    }
    return {in, out};
}

auto sine(double hz, double amplitude) {
    return [=](std::uint64_t n) {
        return static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / 38400.0));
    };
}

float peak(const std::vector<float>& v) {
    float p = 0.0f;
    for (float x : v) p = std::max(p, std::fabs(x));
    return p;
}

}  // namespace

TEST(PreFilter, NewFilterPassesItsFirstSampleUnchanged) {
    PreFilter filter;
    float x[2] = {0.37f, -0.2f};
    filter.process(x, 1);
    EXPECT_EQ(x[0], 0.37f);
    EXPECT_EQ(x[1], -0.2f);
}

TEST(PreFilter, MidBandSineIsLeftAloneOnceSettled) {
    PreFilter filter;
    const auto [in, out] = run(filter, sine(1000.0, 0.5), 2.0);
    EXPECT_NEAR(filter.highLevel, 0.041, 0.004);
    EXPECT_NEAR(filter.bandLevel, 0.317, 0.01);
    // With g = 1 each output is (x - previous output) + previous output in single precision.
    for (std::uint32_t i = 1; i < blockLength; ++i) ASSERT_EQ(out[i], (in[i] - out[i - 1]) + out[i - 1]) << i;
}

TEST(PreFilter, HighFrequenciesAreSmoothed) {
    const struct {
        const char* name;
        float (*signal)(std::uint64_t);
        float lowPeak, highPeak;
    } cases[] = {
        {"12 kHz sine, amplitude 0.5",
         [](std::uint64_t n) { return static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 12000.0 * n / 38400.0)); },
         0.12f, 0.14f},
        {"full-scale alternation", [](std::uint64_t n) { return n % 2 ? -1.0f : 1.0f; }, 0.19f, 0.21f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PreFilter filter;
        const auto out = run(filter, c.signal, 1.0).second;
        EXPECT_GT(peak(out), c.lowPeak);
        EXPECT_LT(peak(out), c.highPeak);
    }
    PreFilter alternating;
    run(alternating, [](std::uint64_t n) { return n % 2 ? -1.0f : 1.0f; }, 1.0);
    EXPECT_GT(alternating.highLevel, 0.9999f);  // its cap, up to rounding
    EXPECT_LT(alternating.bandLevel, 0.01f);
}

TEST(PreFilter, LevelsStayBetweenZeroAndOneForLoudNoise) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1e6f, 1e6f);
    PreFilter filter;
    std::vector<float> block(blockLength);
    for (int b = 0; b < 50; ++b) {
        for (float& x : block) x = value(random);
        filter.process(block.data(), blockLength);
        ASSERT_GE(filter.highLevel, 0.0f) << "seed " << seed;
        ASSERT_LE(filter.highLevel, 1.0f) << "seed " << seed;
        ASSERT_GE(filter.bandLevel, 0.0f) << "seed " << seed;
        ASSERT_LE(filter.bandLevel, 1.0f) << "seed " << seed;
    }
}

TEST(PreFilter, EveryCallSanitisesTheStateFirst) {
    // Float fields compare with the float bounds, double fields with the double bounds.
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double in, out;
    } cases[] = {{5e27, 0.0}, {-3.95e27, -3.9e27}, {3.95e27, 3.95e27}, {4e27, 0.0},
                 {-4e27, 0.0}, {inf, 0.0},         {nan, 0.0},          {-0.25, -0.25}};
    for (const auto& c : cases) {
        PreFilter filter;
        filter.smoothed = static_cast<float>(c.in);
        filter.bandLevel = static_cast<float>(c.in);
        filter.highPassLastOutput = c.in;
        filter.bandPassOutput[2] = c.in;
        float untouched = 0.125f;
        filter.process(&untouched, 0);
        EXPECT_EQ(untouched, 0.125f);
        EXPECT_EQ(bits(filter.smoothed), bits(static_cast<float>(c.out))) << c.in;
        EXPECT_EQ(bits(filter.bandLevel), bits(static_cast<float>(c.out))) << c.in;
        EXPECT_EQ(bits(filter.highPassLastOutput), bits(c.out)) << c.in;
        EXPECT_EQ(bits(filter.bandPassOutput[2]), bits(c.out)) << c.in;
    }
}

TEST(PreFilter, NonFiniteSampleSpoilsOnlyTheRestOfItsBlock) {
    PreFilter filter;
    run(filter, sine(1000.0, 0.5), 0.5);
    std::vector<float> block(blockLength, 0.25f);
    block[100] = std::numeric_limits<float>::quiet_NaN();
    filter.process(block.data(), blockLength);
    EXPECT_TRUE(std::isfinite(block[99]));
    for (std::uint32_t i = 100; i < blockLength; ++i) ASSERT_TRUE(std::isnan(block[i])) << i;
    EXPECT_EQ(filter.highLevel, 1.0f);

    const auto out = run(filter, sine(1000.0, 0.5), 1.0).second;
    for (float x : out) ASSERT_TRUE(std::isfinite(x));
    EXPECT_NEAR(filter.bandLevel, 0.317, 0.01);
}

TEST(PreFilter, BothBuildsGiveIdenticalOutput) {
    const CodecKernels* avx2 = avx2CodecKernels();
    if (avx2 == nullptr) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.5f, 1.5f);
    PreFilter generic, vector;
    for (std::uint32_t length : {0u, 1u, 3u, 4u, 5u, 255u, 256u, 257u, 408u, 1000u}) {
        std::vector<float> a(length), b;
        for (float& x : a) x = value(random);
        b = a;
        generic.process(a.data(), length, genericCodecKernels());
        vector.process(b.data(), length, *avx2);
        const bool same = length == 0 || std::memcmp(a.data(), b.data(), length * sizeof(float)) == 0;
        ASSERT_TRUE(same) << length << " seed " << seed;
    }
    EXPECT_EQ(bits(generic.smoothed), bits(vector.smoothed));
    EXPECT_EQ(bits(generic.highLevel), bits(vector.highLevel));
    EXPECT_EQ(bits(generic.bandLevel), bits(vector.bandLevel));
    EXPECT_EQ(bits(generic.highPassLastOutput), bits(vector.highPassLastOutput));
    EXPECT_EQ(0, std::memcmp(generic.bandPassOutput, vector.bandPassOutput, sizeof generic.bandPassOutput));
}
