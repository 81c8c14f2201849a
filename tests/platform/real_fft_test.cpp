#include "platform/RealFft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

using kestrava::RealFft;

namespace {

struct AlignedFloats {
    explicit AlignedFloats(std::size_t n)
        : data(static_cast<float*>(std::aligned_alloc(64, ((n * sizeof(float) + 63) / 64) * 64))) {}
    ~AlignedFloats() { std::free(data); }
    float* data;
};

// The definition: X[k] = sum x[n] e^(-2 pi i k n / N), in long double.
std::vector<long double> naiveSpectrum(const std::vector<float>& x) {
    const std::size_t n = x.size();
    std::vector<long double> cosines(n), sines(n);
    for (std::size_t j = 0; j < n; ++j) {
        const long double angle = -2.0L * std::numbers::pi_v<long double> * static_cast<long double>(j) / n;
        cosines[j] = std::cos(angle);
        sines[j] = std::sin(angle);
    }
    std::vector<long double> out(n + 2);
    for (std::size_t k = 0; k <= n / 2; ++k) {
        long double re = 0, im = 0;
        for (std::size_t j = 0; j < n; ++j) {
            re += x[j] * cosines[(k * j) % n];
            im += x[j] * sines[(k * j) % n];
        }
        out[2 * k] = re;
        out[2 * k + 1] = im;
    }
    return out;
}

}  // namespace

TEST(RealFft, ForwardMatchesTheDefinitionAndInverseGivesTheInputBack) {
    ASSERT_TRUE(RealFft::prepare());
    std::mt19937 random(15);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    for (int order : {1, 2, 3, 5, 8, 10, 12}) {
        const std::size_t n = std::size_t{1} << order;
        std::vector<float> x(n);
        for (float& v : x) v = sample(random);
        AlignedFloats buffer(n + 2);
        std::copy(x.begin(), x.end(), buffer.data);
        ASSERT_TRUE(RealFft::forward(order, buffer.data));

        const std::vector<long double> expected = naiveSpectrum(x);
        long double signal = 0, noise = 0;
        for (std::size_t i = 0; i < n + 2; ++i) {
            signal += expected[i] * expected[i];
            noise += (buffer.data[i] - expected[i]) * (buffer.data[i] - expected[i]);
        }
        EXPECT_GT(10.0L * std::log10(signal / noise), 120.0L) << "order " << order;
        EXPECT_EQ(buffer.data[1], 0.0f) << "order " << order;
        EXPECT_EQ(buffer.data[n + 1], 0.0f) << "order " << order;

        ASSERT_TRUE(RealFft::inverse(order, buffer.data));
        for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(buffer.data[i], x[i], 2e-6f) << "order " << order << " i " << i;
    }
}

TEST(RealFft, AnImpulseInTheMiddleGivesAlternatingBinsAndComesBack) {
    AlignedFloats buffer(4128);
    std::fill(buffer.data, buffer.data + 4128, 0.0f);
    buffer.data[2048] = 1.0f;
    ASSERT_TRUE(RealFft::forward(12, buffer.data));
    for (int k = 0; k <= 2048; ++k) {
        EXPECT_NEAR(buffer.data[2 * k], (k % 2 == 0) ? 1.0f : -1.0f, 1e-6f) << k;
        EXPECT_NEAR(buffer.data[2 * k + 1], 0.0f, 1e-6f) << k;
    }
    // The inverse ignores whatever the imaginary parts of bins 0 and N/2 hold.
    buffer.data[1] = 5.0f;
    buffer.data[4097] = -5.0f;
    ASSERT_TRUE(RealFft::inverse(12, buffer.data));
    for (int i = 0; i < 4096; ++i) EXPECT_NEAR(buffer.data[i], i == 2048 ? 1.0f : 0.0f, 1e-6f) << i;
}

TEST(RealFft, RefusesWithoutTouchingTheBuffer) {
    AlignedFloats buffer(4200);
    for (int i = 0; i < 4200; ++i) buffer.data[i] = static_cast<float>(i);
    EXPECT_FALSE(RealFft::forward(0, buffer.data));
    EXPECT_FALSE(RealFft::forward(17, buffer.data));
    EXPECT_FALSE(RealFft::forward(12, buffer.data + 1));  // not on a 64-byte boundary
    RealFft::withholdPlanForTesting(12, true);
    EXPECT_FALSE(RealFft::hasPlan(12));
    EXPECT_FALSE(RealFft::forward(12, buffer.data));
    EXPECT_FALSE(RealFft::inverse(12, buffer.data));
    RealFft::withholdPlanForTesting(12, false);
    EXPECT_TRUE(RealFft::hasPlan(12));
    for (int i = 0; i < 4200; ++i) ASSERT_EQ(buffer.data[i], static_cast<float>(i)) << i;
}
