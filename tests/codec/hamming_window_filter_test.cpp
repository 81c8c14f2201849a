#include "codec/HammingWindowFilter.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using kestrava::codec::HammingWindowFilter;

using namespace codec_test;

namespace {

constexpr std::uint64_t window16[16] = {
    0x3FB642C8590B2164, 0x3FC02EB108590B22, 0x3FCE76F7C8590B20, 0x3FD9C102237A6F4E,
    0x3FE2EB17A4C8590B, 0x3FE8B21651642C85, 0x3FED35C1CC8590B2, 0x3FEFAE46A2C8590A,
    0x3FEFAE46942C8590, 0x3FED35C1AF4DE9BD, 0x3FE8B2162CDE9BD3, 0x3FE2EB177AC8590B,
    0x3FD9C101DA6F4DEA, 0x3FCE76F7190B2164, 0x3FC02EB0937A6F4E, 0x3FB642C8590B2164,
};
constexpr std::uint64_t window6[6] = {0x3FB642C8590B2164, 0x3FD9C102237A6F4E, 0x3FED35C1CC8590B2,
                                      0x3FED35C1AF4DE9BD, 0x3FD9C101DA6F4DEA, 0x3FB642C8590B2164};

template <int N>
void expectWindowOnOnes(const std::uint64_t (&expected)[N]) {
    const HammingWindowFilter<N> filter;
    alignas(16) double frame[N];
    for (double& v : frame) v = 1.0;
    EXPECT_EQ(filter.apply(frame), frame);
    for (int n = 0; n < N; ++n) EXPECT_EQ(bits(frame[n]), expected[n]) << "N " << N << " n " << n;
    alignas(16) float single[N];
    for (float& v : single) v = 1.0f;
    EXPECT_EQ(filter.apply(single), single);
    for (int n = 0; n < N; ++n) EXPECT_EQ(bits(single[n]), bits(static_cast<float>(fromBits(expected[n])))) << n;
}

}  // namespace

TEST(HammingWindowFilter, OnesBecomeTheStatedWeights) {
    expectWindowOnOnes<16>(window16);
    expectWindowOnOnes<6>(window6);
    EXPECT_EQ(fromBits(window16[0]), 0.08695652173913043);  // 2/23
    EXPECT_NE(window16[7], window16[8]);                     // not symmetric
}

TEST(HammingWindowFilter, InverseLengths) {
    EXPECT_EQ(HammingWindowFilter<16>().invLength, 0.0625);
    EXPECT_EQ(bits(HammingWindowFilter<6>().invLength), 0x3FC5555555555555u);
}

TEST(HammingWindowFilter, EachElementIsOneProduct) {
    const HammingWindowFilter<6> filter;
    alignas(16) double frame[6] = {0.0, -2.5, std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(), 1e-310, 3.0};
    filter.apply(frame);
    EXPECT_EQ(frame[0], 0.0);
    EXPECT_EQ(frame[1], -2.5 * fromBits(window6[1]));
    EXPECT_TRUE(std::isnan(frame[2]));
    EXPECT_TRUE(std::isinf(frame[3]));
    EXPECT_EQ(frame[4], 1e-310 * fromBits(window6[4]));  // gradual underflow keeps the subnormal
    EXPECT_GT(frame[4], 0.0);
    EXPECT_EQ(frame[5], 3.0 * fromBits(window6[5]));
}
