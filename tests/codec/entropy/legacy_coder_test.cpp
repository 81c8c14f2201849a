#include "codec/entropy/EntropyCoder.h"
#include "CoderFixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

using kestrava::codec::entropy::EntropyCoder;

using namespace streamtest;

namespace {

struct LegacyCoder : testing::Test {
    std::vector<std::uint8_t> run(std::int32_t r, std::int32_t width, const std::vector<std::int32_t>& values,
                                  bool aux, std::uint32_t capacity = 4096) {
        EXPECT_TRUE(coder->configureReset(r, width));
        std::vector<std::uint8_t> buffer(4096, 0xCC);
        const auto* v = values.data();
        const auto n = std::uint32_t(values.size());
        const std::uint32_t bytes = aux ? coder->encodeLegacyAux(v, n, buffer.data(), capacity)
                                        : coder->encodeLegacy(v, n, buffer.data(), capacity);
        return bytesOf(buffer.data(), bytes);
    }
    std::map<int, std::string> codes(int low, int high) {
        std::map<int, std::string> out;
        for (int s = low; s <= high; ++s) out[s] = bitsOf(coder->legacy.codeOf(s));
        return out;
    }
    std::unique_ptr<EntropyCoder> coder = std::make_unique<EntropyCoder>(nullptr);
};

const std::vector<std::int32_t> longExample = {0, 1, -1, 2, 0, 0, 3, -2, 17, -20, 0, 1, 0, 0, 0, 0, 0, 0, 0, 5};

}  // namespace

TEST_F(LegacyCoder, StreamsMatchTheStatedBytes) {
    const struct {
        const char* name;
        std::int32_t r, width;
        bool aux;
        std::vector<std::int32_t> values;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"no values", 1, 4, false, {}, {0x00}},
        {"no values, aux", 1, 4, true, {}, {0x00}},
        {"five zeros header", 1, 4, false, {0, 0, 0, 0, 0}, {0x05, 0xF8}},
        {"worked example", 1, 4, false, {0, 0, 1, -1, 0}, {0x13, 0x2D, 0x90}},
        {"four zeros and one", 1, 4, false, {0, 0, 0, 0, 1}, {0x14, 0x1F, 0x60}},
        {"four zeros and one, aux", 1, 4, true, {0, 0, 0, 0, 1}, {0x14, 0x1E, 0x98}},
        {"eight zeros, aux", 1, 4, true, {0, 0, 0, 0, 0, 0, 0, 0}, {0x08, 0xF7, 0x00}},
        {"eight zeros", 1, 4, false, {0, 0, 0, 0, 0, 0, 0, 0}, {0x08, 0xFF}},
        {"two zeros, aux", 1, 4, true, {0, 0}, {0x02, 0xC0}},
        {"last zero has no run code", 1, 4, true, {1, 0}, {0x11, 0x1E}},
        {"escapes", 1, 4, false, {3, -5, 0}, {0x01, 0x46, 0xD6}},
        {"zero before an escape, aux", 1, 4, true, {0, 5}, {0x01, 0x92, 0x80}},
        // Escape width 0: 3 and -5 cost only their escape codes 010 and 011.
        {"escape width 0", 1, 0, false, {3, -5, 0}, {0x01, 0x4E}},
        {"larger alphabet", 16, 6, false, longExample,
         {0x5B, 0x32, 0x10, 0x18, 0x29, 0xBE, 0xAF, 0x12, 0x2F, 0x1A, 0x91, 0xFD, 0xA0}},
        {"larger alphabet, aux", 16, 6, true, longExample,
         {0x5B, 0x32, 0x10, 0x18, 0x14, 0xCF, 0xAB, 0xC4, 0x8B, 0xC6, 0xA4, 0x3D, 0x9A}},
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.r, c.width, c.values, c.aux), c.bytes) << c.name;
}

TEST_F(LegacyCoder, CodesFollowTheBuildOrderAndTieBreaks) {
    run(1, 4, {0, 0, 1, -1, 0}, false);
    EXPECT_EQ(codes(-2, 2), (std::map<int, std::string>{{-2, "0101"}, {-1, "00"}, {0, "1"}, {1, "011"}, {2, "0100"}}));

    // Bins 0, 3 and 5 hold one each, bin 1 is empty: n = 1 and +-1 have weight 1.
    EXPECT_EQ(run(1, 4, {3, -5, 0}, false)[0], 0x01);
    EXPECT_EQ(codes(-2, 2), (std::map<int, std::string>{{-2, "011"}, {-1, "001"}, {0, "1"}, {1, "000"}, {2, "010"}}));

    // Bin 1 scales to 0 (max 1000) and bin 0 is empty: 0, +1 and -1 all weigh 1, and +-1 go
    // behind every weight-1 leaf, the zero leaf included. Header 0010 0000 0000 1111.
    std::vector<std::int32_t> values(1000, 2);
    values.insert(values.begin(), 1);
    const auto bytes = run(4, 4, values, false);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0x20);
    EXPECT_EQ(bytes[1], 0x0F);
    EXPECT_EQ(codes(-5, 5), (std::map<int, std::string>{{-5, "10011"},
                                                        {-4, "10001"},
                                                        {-3, "101111"},
                                                        {-2, "0"},
                                                        {-1, "10110"},
                                                        {0, "10100"},
                                                        {1, "10101"},
                                                        {2, "11"},
                                                        {3, "101110"},
                                                        {4, "10000"},
                                                        {5, "10010"}}));

    // r = 16, bins 11, 3, 2, 1, 0, 1 (n = 6).
    run(16, 6, longExample, false);
    const std::map<int, std::string> heavy = {{0, "1"},      {1, "000"},    {-1, "001"},    {2, "0100"},  {-2, "0101"},
                                              {-3, "01100"}, {5, "01101"},  {-5, "01110"},  {3, "011111"}};
    for (const auto& [symbol, code] : heavy) EXPECT_EQ(bitsOf(coder->legacy.codeOf(symbol)), code) << symbol;
    int light = 0;
    for (int s = -17; s <= 17; ++s) {
        if (heavy.count(s) != 0) continue;
        const std::string code = bitsOf(coder->legacy.codeOf(s));
        EXPECT_TRUE((code.size() == 10 || code.size() == 11) && code.rfind("01111", 0) == 0) << s << " " << code;
        ++light;
    }
    EXPECT_EQ(light, 26);
}

TEST_F(LegacyCoder, HistogramScalingKeepsCountsWithinFourBits) {
    const struct {
        const char* name;
        std::int32_t r;
        std::map<std::int32_t, int> occurrences;  // value -> how often
        std::vector<std::uint64_t> bins;          // expected scaled bins 0..
        std::uint8_t firstByte;
    } cases[] = {
        {"max 15 stays", 4, {{0, 15}, {1, 1}}, {15, 1}, 0x1F},
        {"max 16 scales by 961", 4, {{0, 16}, {1, 1}}, {15, 0}, 0x0F},
        {"max 1000 scales by 16", 4, {{0, 1000}, {1, 64}, {-2, 63}}, {15, 1, 0}, 0x1F},
        {"max 1093 tops at 14", 4, {{0, 1093}}, {14}, 0x0E},
        // Magnitudes 9..15 are counted (and set the maximum) but never sent with r = 8.
        {"unsent bins take part", 8, {{0, 5}, {9, 20}}, {3, 0, 0, 0, 0, 0, 0, 0, 0, 15}, 0x03},
        {"only magnitudes of 16 or more", 32, {{0, 2}, {40, 3}, {-16, 1}}, {2, 0}, 0x02},
    };
    for (const auto& c : cases) {
        std::vector<std::int32_t> values;
        for (const auto& [v, times] : c.occurrences) values.insert(values.end(), std::size_t(times), v);
        const auto bytes = run(c.r, 8, values, false);
        ASSERT_FALSE(bytes.empty()) << c.name;
        EXPECT_EQ(bytes[0], c.firstByte) << c.name;
        for (std::size_t i = 0; i < c.bins.size(); ++i) EXPECT_EQ(coder->legacy.histogram16[i], c.bins[i]) << c.name << " bin " << i;
    }
}

TEST_F(LegacyCoder, AlphabetSizesUpToTheHighestRateBuild) {
    // r = 128 (512 kbit/s) and r = 256 (576 kbit/s): 2r + 3 leaves and 4r + 5 nodes.
    for (const std::int32_t r : {128, 256}) {
        EXPECT_EQ(run(r, 12, {0, 1, -2, 300}, false).empty(), false) << r;
        EXPECT_EQ(coder->legacy.nodesUsed, 4 * r + 5) << r;
        EXPECT_NE(coder->legacy.root, nullptr);
        EXPECT_EQ(bitsOf(coder->legacy.codeOf(r + 1)).empty(), false);
    }
    EXPECT_FALSE(coder->configureReset(-1, 4));
    EXPECT_FALSE(coder->configureReset(4, 33));
}

TEST(LegacyCoderFailures, FailuresReturnZeroWithTheirMessages) {
    CoderWithMessages m;
    std::vector<std::uint8_t> buffer(4096, 0xCC);
    const std::int32_t values[] = {0, 0, 1, -1, 0};

    // The stated stream 13 2D 90 ends at bit 20: capacity 3 holds it, capacity 2 does not and
    // nothing is written at or beyond the capacity.
    ASSERT_TRUE(m.coder->configureReset(1, 4));
    EXPECT_EQ(m.coder->encodeLegacy(values, 5, buffer.data(), 3), 3u);
    buffer.assign(buffer.size(), 0xCC);
    EXPECT_EQ(m.coder->encodeLegacy(values, 5, buffer.data(), 2), 0u);
    EXPECT_EQ(buffer[2], 0xCC);
    EXPECT_EQ(m.coder->encodeLegacyAux(values, 5, buffer.data(), 0), 0u);
    EXPECT_EQ(buffer[0], 0x13) << "capacity 0 touches nothing";

    // r = 257 no longer fits the list: silently on an append (n = 1), with the list message on
    // an insert (n = 3); each coder then logs its own header failure.
    ASSERT_TRUE(m.coder->configureReset(257, 4));
    EXPECT_EQ(m.coder->encodeLegacy(values, 1, buffer.data(), 4096), 0u);
    const std::int32_t wider[] = {0, 1, 2};
    EXPECT_EQ(m.coder->encodeLegacyAux(wider, 3, buffer.data(), 4096), 0u);
    EXPECT_EQ(m.coder->legacy.root, nullptr);

    const auto texts = m.log->waitFor(5);
    EXPECT_EQ(texts, (std::vector<std::string>{"4 Failed to encode symbol\n", "4 Failed to encode symbol\n",
                                               "4 Failed to write histogram, discarding data blok\n",
                                               "4 SortedList exceeded capacity\n",
                                               "4 Failed to write histogram, discarding data block\n"}));
    EXPECT_EQ(m.statusTexts(), (std::vector<std::string>(2, "2 Bitstream error - decoding failed. Check the log for details")));
}
