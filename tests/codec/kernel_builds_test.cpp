// Every AVX2 kernel against the generic one, bit for bit, and whole predictor runs in both builds.
#include "codec/BackwardLpc11.h"
#include "codec/BackwardLpc16.h"
#include "codec/BackwardLpc3.h"
#include "codec/BackwardLpc5.h"
#include "codec/CodecKernels.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

using kestrava::codec::BackwardLpc11;
using kestrava::codec::BackwardLpc16;
using kestrava::codec::BackwardLpc3;
using kestrava::codec::BackwardLpc5;
using kestrava::codec::ChannelHistory;
using kestrava::codec::CodecKernels;
using kestrava::codec::avx2CodecKernels;
using kestrava::codec::genericCodecKernels;

using namespace codec_test;

namespace {

enum class Values { Audio, WideExponents, NonFinite };

template <class T>
T draw(std::mt19937& random, Values kind) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    switch (kind) {
        case Values::Audio:
            return static_cast<T>(unit(random));
        case Values::WideExponents: {
            // Subnormal to near overflow, so products underflow and sums overflow on the way.
            const int low = std::numeric_limits<T>::min_exponent - std::numeric_limits<T>::digits;
            std::uniform_int_distribution<int> exponent(low, std::numeric_limits<T>::max_exponent / 2 + 2);
            return static_cast<T>(std::ldexp(unit(random), exponent(random)));
        }
        case Values::NonFinite: {
            const int pick = static_cast<int>(random() % 40);
            if (pick == 0) return std::numeric_limits<T>::quiet_NaN();
            if (pick == 1) return std::numeric_limits<T>::infinity();
            if (pick == 2) return -std::numeric_limits<T>::infinity();
            return static_cast<T>(unit(random));
        }
    }
    return 0;
}

template <class T>
bool same(T a, T b) {
    return (std::isnan(a) && std::isnan(b)) || bits(a) == bits(b);  // NaN payloads may differ
}

template <class T>
void expectSame(const T* a, const T* b, int n, const char* what, int trial) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(same(a[i], b[i])) << what << " [" << i << "] trial " << trial << " seed " << seed;
}

// A frame of `used` random values after `guard` zeros and before trailing zeros.
template <class T>
std::vector<T> frame(std::mt19937& random, Values kind, int guard, int used, int total) {
    std::vector<T> f(total, T(0));
    for (int i = 0; i < used; ++i) f[guard + i] = draw<T>(random, kind);
    return f;
}

struct KernelBuilds : testing::Test {
    const CodecKernels& generic = genericCodecKernels();
    const CodecKernels* avx2 = avx2CodecKernels();
    void SetUp() override {
        if (avx2 == nullptr) GTEST_SKIP() << "no AVX2 on this processor";
    }
};

}  // namespace

TEST_F(KernelBuilds, CorrelationsMatchBitForBit) {
    std::mt19937 random(seed);
    for (Values kind : {Values::Audio, Values::WideExponents, Values::NonFinite}) {
        for (int trial = 0; trial < 200; ++trial) {
            {
                const auto x = frame<double>(random, kind, 16, 128, 160);
                double a[16], b[16];
                generic.lpc16Correlate(x.data() + 16, a);
                avx2->lpc16Correlate(x.data() + 16, b);
                expectSame(a, b, 16, "lpc16", trial);
            }
            {
                const auto w = frame<float>(random, kind, 16, 320, 360);
                float a[12], b[12];
                for (auto [skip, end] : {std::pair{0u, 320u}, std::pair{12u, 308u}}) {
                    generic.lpc11Sums(w.data() + 16, skip, end, a);
                    avx2->lpc11Sums(w.data() + 16, skip, end, b);
                    expectSame(a, b, 12, "lpc11 sums", trial);
                }
                generic.lpc11EdgeSums(w.data() + 16, a);
                avx2->lpc11EdgeSums(w.data() + 16, b);
                expectSame(a, b, 12, "lpc11 edges", trial);
            }
            {
                const auto w = frame<double>(random, kind, 16, 64, 96);
                double a[6], b[6];
                generic.lpc5Correlate(w.data() + 16, a);
                avx2->lpc5Correlate(w.data() + 16, b);
                expectSame(a, b, 6, "lpc5", trial);
            }
            {
                const auto w = frame<float>(random, kind, 16, 32, 64);
                float a[4], b[4];
                generic.lpc3Correlate(w.data() + 16, a);
                avx2->lpc3Correlate(w.data() + 16, b);
                expectSame(a, b, 4, "lpc3", trial);
            }
        }
    }
}

TEST_F(KernelBuilds, PreFilterScalingMatchesForEveryLength) {
    std::mt19937 random(seed);
    for (std::uint32_t length : {0u, 1u, 3u, 4u, 5u, 15u, 16u, 17u, 37u, 256u}) {
        const auto x = frame<float>(random, Values::WideExponents, 0, static_cast<int>(length), static_cast<int>(length) + 1);
        std::vector<double> ea(length + 1, -7.0), ma(length + 1, -7.0), eb(length + 1, -7.0), mb(length + 1, -7.0);
        generic.preFilterScale(x.data(), ea.data(), ma.data(), length);
        avx2->preFilterScale(x.data(), eb.data(), mb.data(), length);
        expectSame(ea.data(), eb.data(), static_cast<int>(length) + 1, "e", static_cast<int>(length));
        expectSame(ma.data(), mb.data(), static_cast<int>(length) + 1, "m", static_cast<int>(length));
        EXPECT_EQ(eb[length], -7.0);  // nothing written past the end
    }
}

// Runs a coder-like loop (update, then push a new reconstruction) on two predictors, one per build.
template <class Predictor, class T>
void runBothBuilds(const CodecKernels& generic, const CodecKernels& avx2, std::uint32_t ring, std::uint32_t start,
                   int samples) {
    auto a = std::make_unique<Predictor>();
    auto b = std::make_unique<Predictor>();
    auto ha = std::make_unique<ChannelHistory<T>>();
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 0.05);
    double y = 0.0;
    for (std::uint32_t i = 0; i < start; ++i) ha->samples[i] = static_cast<T>(noise(random));
    ha->writePos = start;
    ha->fillCount = start;
    auto hb = std::make_unique<ChannelHistory<T>>(*ha);
    for (int i = 0; i < samples; ++i) {
        a->update(*ha, generic);
        b->update(*hb, avx2);
        ASSERT_EQ(0, std::memcmp(a->coefTable, b->coefTable, sizeof a->coefTable)) << "sample " << i << " seed " << seed;
        y = 0.97 * y + noise(random);  // a low-pass signal, as audio tends to be
        for (ChannelHistory<T>* h : {ha.get(), hb.get()}) {
            h->samples[h->writePos] = static_cast<T>(y);
            h->writePos = (h->writePos + 1) % ring;
            ++h->fillCount;
        }
    }
}

TEST_F(KernelBuilds, PredictorRunsMatchBitForBit) {
    runBothBuilds<BackwardLpc16, double>(generic, *avx2, 128, 16, 400);
    runBothBuilds<BackwardLpc11, float>(generic, *avx2, 320, 12, 1500);
    runBothBuilds<BackwardLpc5, double>(generic, *avx2, 64, 6, 300);
    runBothBuilds<BackwardLpc3, float>(generic, *avx2, 32, 4, 300);
}
