#include "codec/entropy/EntropyCoder.h"
#include "codec/entropy/WideBinLayout.h"
#include "CoderFixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

using kestrava::codec::entropy::EntropyCoder;
using kestrava::codec::entropy::WideBinLayout;

using namespace streamtest;

namespace {

struct RunLengthCoder : testing::Test {
    // version 1: 3-bit counts, version 3: 4-bit counts.
    std::vector<std::uint8_t> run(const std::vector<std::int32_t>& values, std::int32_t rate, std::uint32_t version,
                                  std::int32_t escapeBits = 10, std::uint32_t capacity = 4096) {
        EXPECT_TRUE(coder->configureReset(0, escapeBits));
        buffer.assign(4096, 0xCC);
        const std::uint32_t bytes =
            coder->encode(values.data(), std::uint32_t(values.size()), buffer.data(), capacity, rate, version);
        return bytesOf(buffer.data(), bytes);
    }
    std::string code(int symbol) const { return bitsOf(coder->tree.codeOf(symbol)); }
    std::map<int, std::string> allCodes() const {
        std::map<int, std::string> out;
        for (int s = -255; s <= 257; ++s) {
            if (coder->tree.codeOf(s).length != 0) out[s] = code(s);
        }
        return out;
    }
    std::unique_ptr<EntropyCoder> coder = std::make_unique<EntropyCoder>(nullptr);
    std::vector<std::uint8_t> buffer;
};

std::vector<std::pair<unsigned, unsigned>> ranges(const WideBinLayout& layout) {
    std::vector<std::pair<unsigned, unsigned>> out;
    for (int i = 0; i < layout.binCount; ++i) {
        out.emplace_back(layout.first[std::size_t(i)],
                         std::min(254u, layout.first[std::size_t(i)] + layout.width[std::size_t(i)] - 1));
    }
    return out;
}

}  // namespace

TEST(WideBinLayout, BinsFollowTheRate) {
    using R = std::vector<std::pair<unsigned, unsigned>>;
    const R below320 = {{0, 0},   {1, 1},   {2, 2},   {3, 4},    {5, 7},     {8, 12},   {13, 20},
                        {21, 33}, {34, 54}, {55, 88}, {89, 143}, {144, 232}, {233, 254}};
    const R from320 = {{0, 0},   {1, 1},   {2, 2},   {3, 3},    {4, 5},     {6, 8},     {9, 13},
                       {14, 21}, {22, 34}, {35, 55}, {56, 89}, {90, 144}, {145, 233}, {234, 254}};
    R from512;
    for (unsigned m = 0; m <= 6; ++m) from512.emplace_back(m, m);
    for (const auto& r : R{{7, 8}, {9, 11}, {12, 16}, {17, 24}, {25, 37}, {38, 58}, {59, 92}, {93, 147}, {148, 236},
                           {237, 254}}) {
        from512.push_back(r);
    }
    const struct {
        std::int32_t rate;
        const R& bins;
    } cases[] = {{-1, below320}, {INT_MIN, below320}, {0, below320}, {319, below320}, {320, from320},
                 {383, from320}, {512, from512},      {575, from512}};
    for (const auto& c : cases) EXPECT_EQ(ranges(WideBinLayout(c.rate)), c.bins) << c.rate;

    // Very high rates: one-magnitude bins, never more than 255 of them.
    const WideBinLayout widest(INT_MAX);
    EXPECT_EQ(widest.binCount, 255);
    EXPECT_EQ(widest.first[254], 254u);
}

TEST_F(RunLengthCoder, WorkedExampleGivesTheStatedHeaderAndCodes) {
    const auto bytes = run({0, 0, 0, 1, -1, 2, 0, 5, -3, 0}, 256, 1);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[1], 0xED);
    EXPECT_EQ(bytes[2], 0x24);
    EXPECT_EQ(bytes[3] & 0xC0, 0x00);
    EXPECT_EQ(allCodes(), (std::map<int, std::string>{{0, "0"},
                                                      {4, "10000"},
                                                      {-4, "10001"},
                                                      {5, "10010"},
                                                      {-5, "10011"},
                                                      {2, "1010"},
                                                      {-2, "1011"},
                                                      {-7, "110000"},
                                                      {256, "1100010"},
                                                      {7, "1100011"},
                                                      {3, "11001"},
                                                      {-3, "11010"},
                                                      {6, "110110"},
                                                      {-6, "110111"},
                                                      {1, "1110"},
                                                      {-1, "1111"}}));
}

TEST_F(RunLengthCoder, RunEscapeIsTakenOnlyWhenItIsNotLonger) {
    // Counts that scale like the worked example's (7, 3, 2, 2, 2), so the stated codes hold:
    // 0 -> 0 (1 bit), 256 -> 1100010 (7 bits). A run of 13 costs 7 + 3 bits against 13 and
    // takes the run escape (field 110); a run of 7 would cost 7 + 1 against 5 for the first five
    // zeros, so all seven go as single zeros.
    std::vector<std::int32_t> values(13, 0);
    for (const std::int32_t v : {1, 1, 1, -1, -1, -1, 2, 2, -2, 3, -4, 4, 5, -6, 7}) values.push_back(v);
    values.insert(values.end(), 7, 0);
    // 04 ED 24 | 00 1100010 110 | 1110 x3 1111 x3 1010 1010 1011 11001 10001 10000 10010 110111
    // 1100011 | 0000000
    EXPECT_EQ(run(values, 256, 1), (std::vector<std::uint8_t>{0x04, 0xED, 0x24, 0x31, 0x6E, 0xEE, 0xFF, 0xFA, 0xAB,
                                                              0xCC, 0x61, 0x2D, 0xF1, 0x80}));
}

TEST_F(RunLengthCoder, EdgeTablesAndStreams) {
    // Every value escapes: a zero count for bin 0 and the escape count.
    auto bytes = run({300, -300, 1000}, 256, 1);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1] >> 5, 0);
    EXPECT_EQ(allCodes(), (std::map<int, std::string>{{-255, "0"}, {256, "10"}, {255, "11"}}));
    // 300 is the code of 255 and 300 in ten bits; -300 the code of -255 and the same bits.
    // Header 00000000 000 111, then 11 0100101100 0 0100101100 11 1111101000.
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x00, 0x1F, 0x4B, 0x09, 0x67, 0xF4, 0x00}));

    // Every value is 0: 256 -> 0, 0 -> 1. Seven zeros: run escape for 5, then two single zeros.
    bytes = run({0, 0, 0, 0, 0, 0, 0}, 256, 1);
    EXPECT_EQ(allCodes(), (std::map<int, std::string>{{0, "1"}, {256, "0"}}));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x00, 0xE0, 0xC0}));
    // Eighteen zeros: run escape for 13 (field 110), then one for 5 (field 0).
    EXPECT_EQ(run(std::vector<std::int32_t>(18, 0), 256, 1), (std::vector<std::uint8_t>{0x00, 0xE1, 0x80}));

    // 408 zeros: run escapes for 377, 21 and 8, then two single zeros.
    const std::vector<std::int32_t> zeros(408, 0);
    EXPECT_EQ(run(zeros, 256, 1), (std::vector<std::uint8_t>{0x00, 0xE1, 0xFF, 0x39, 0x60}));
    EXPECT_EQ(run(zeros, 256, 3), (std::vector<std::uint8_t>{0x00, 0xF0, 0x7F, 0xCE, 0x58}));

    // A single value: header and one code.
    EXPECT_EQ(run({0}, 256, 1), (std::vector<std::uint8_t>{0x00, 0xE2}));
}

TEST_F(RunLengthCoder, ScalingOfLargeAndEscapedCounts) {
    // A largest count above 7167 (3-bit) scales every non-empty bin to 1.
    std::vector<std::int32_t> values(8000, 0);
    values.push_back(1);
    auto bytes = run(values, 256, 1);
    EXPECT_EQ(bytes[0], 0x01);  // L = 1
    EXPECT_EQ(bytes[1], 0x24);  // counts 1, 1 and the escape count 0: 001 001 00|0
    EXPECT_EQ(coder->binCounts[0], 1u);
    EXPECT_EQ(coder->binCounts[1], 1u);

    // M = 3000 with 3-bit counts: D = 2, the largest count scales to 6.
    values.assign(3000, 0);
    values.insert(values.end(), 1500, 1);
    run(values, 256, 1);
    EXPECT_EQ(coder->binCounts[0], 6u);
    EXPECT_EQ(coder->binCounts[1], 3u);

    // 254 has its own code; 255, -255 and the most negative value escape.
    run({254, 255, -255, INT_MIN, 0}, 256, 3, 32);
    EXPECT_EQ(coder->magnitudeCounts[254], 1u);
    EXPECT_EQ(coder->magnitudeCounts[0], 1u);
    EXPECT_NE(coder->tree.codeOf(254).length, 0u);
    EXPECT_NE(coder->tree.codeOf(255).length, 0u);
    EXPECT_EQ(coder->escapeCount, 15u);  // 3 escapes of the largest count 3: 15359 / 3 * 3 >> 10, + 1
}

TEST(RunLengthCoderFailures, AWriteWithoutRoomFailsWithItsMessages) {
    CoderWithMessages m;
    ASSERT_TRUE(m.coder->configureReset(0, 10));
    std::vector<std::uint8_t> buffer(64, 0xCC);
    const std::int32_t zeros[5] = {};
    // Header 14 bits and the run escape 0 0: exactly two bytes, which capacity 2 refuses.
    EXPECT_EQ(m.coder->encode(zeros, 5, buffer.data(), 3, 256, 1), 2u);
    EXPECT_EQ(m.coder->encode(zeros, 5, buffer.data(), 2, 256, 1), 0u);
    // The header itself must fit: capacity 1 refuses it before anything is written.
    buffer.assign(buffer.size(), 0xCC);
    EXPECT_EQ(m.coder->encode(zeros, 5, buffer.data(), 1, 256, 1), 0u);
    EXPECT_EQ(buffer[0], 0xCC);
    // No values: nothing to code, nothing written, no message.
    EXPECT_EQ(m.coder->encode(zeros, 0, buffer.data(), 64, 256, 1), 0u);
    EXPECT_EQ(buffer[0], 0xCC);

    EXPECT_EQ(m.log->waitFor(2), (std::vector<std::string>(2, "4 Failed to encode symbol\n")));
    EXPECT_EQ(m.statusTexts(), (std::vector<std::string>(2, "2 Bitstream error - decoding failed. Check the log for details")));
}
