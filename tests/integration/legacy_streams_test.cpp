// The version-0 stream reader against the worked streams of the format: header, code, escapes
// and the third channel's run codes, with streams laid back to back.
#include "decoder/LegacyStreams.h"
#include "transport/TransportPackets.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace streamdecoder;
using transporttest::hex;

namespace {

std::string bitsOf(const LegacyCode& c) {
    std::string text;
    for (int b = c.length - 1; b >= 0; --b) text += ((c.code >> b) & 1) != 0 ? '1' : '0';
    return text;
}

}  // namespace

TEST(LegacyStreams, CodesFollowTheHeaderCounts) {
    // r = 1, values 0 0 1 -1 0: codes 0 -> 1, -1 -> 00, +1 -> 011, +2 -> 0100, -2 -> 0101.
    const auto small = legacyCodes({3, 2}, 1);
    const std::vector<std::string> expected = {"0101", "00", "1", "011", "0100"};
    ASSERT_EQ(small.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(bitsOf(small[i]), expected[i]) << "symbol " << small[i].symbol;
    // r = 16 with counts 11 3 2 1 0 1; the 26 weight-1 symbols get 10 or 11 bits behind 01111.
    const std::map<std::int32_t, std::string> listed = {{0, "1"},      {1, "000"},    {-1, "001"},
                                                        {2, "0100"},   {-2, "0101"},  {-3, "01100"},
                                                        {5, "01101"},  {-5, "01110"}, {3, "011111"}};
    for (const LegacyCode& c : legacyCodes({11, 3, 2, 1, 0, 1}, 16)) {
        const std::string text = bitsOf(c);
        const auto it = listed.find(c.symbol);
        if (it != listed.end()) {
            EXPECT_EQ(text, it->second) << c.symbol;
        } else {
            EXPECT_TRUE(text.size() == 10 || text.size() == 11) << c.symbol;
            EXPECT_EQ(text.substr(0, 5), "01111") << c.symbol;
        }
    }
}

TEST(LegacyStreams, WorkedStreamsDecode) {
    struct Case {
        const char* name;
        const char* bytes;
        std::vector<std::int32_t> values;
        int r, width;
        bool third;
    };
    const Case cases[] = {
        {"empty", "00", {}, 1, 4, false},
        {"main, 0 0 1 -1 0", "13 2D 90", {0, 0, 1, -1, 0}, 1, 4, false},
        {"main, 0 0 0 0 1", "14 1F 60", {0, 0, 0, 0, 1}, 1, 4, false},
        {"third, 0 0 0 0 1", "14 1E 98", {0, 0, 0, 0, 1}, 1, 4, true},
        {"third, eight zeros", "08 F7 00", std::vector<std::int32_t>(8, 0), 1, 4, true},
        {"main, eight zeros", "08 FF", std::vector<std::int32_t>(8, 0), 1, 4, false},
        {"third, two zeros", "02 C0", {0, 0}, 1, 4, true},
        {"third, last zero has no run", "11 1E", {1, 0}, 1, 4, true},
        {"escapes", "01 46 D6", {3, -5, 0}, 1, 4, false},
        {"third, zero then escape", "01 92 80", {0, 5}, 1, 4, true},
        {"main, r 16", "5B 32 10 18 29 BE AF 12 2F 1A 91 FD A0",
         {0, 1, -1, 2, 0, 0, 3, -2, 17, -20, 0, 1, 0, 0, 0, 0, 0, 0, 0, 5}, 16, 6, false},
        {"third, r 16", "5B 32 10 18 14 CF AB C4 8B C6 A4 3D 9A",
         {0, 1, -1, 2, 0, 0, 3, -2, 17, -20, 0, 1, 0, 0, 0, 0, 0, 0, 0, 5}, 16, 6, true},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        // A second copy behind the first: the reader must stop at the first stream's end.
        auto bytes = hex(t.bytes);
        const std::size_t length = bytes.size();
        bytes.insert(bytes.end(), bytes.begin(), bytes.end());
        const DecodedStream first = decodeLegacyStream(bytes.data(), bytes.size(), t.values.size(), t.r, t.width, t.third);
        EXPECT_EQ(first.values, t.values);
        ASSERT_EQ(first.bytes, length);
        const DecodedStream second =
            decodeLegacyStream(bytes.data() + length, length, t.values.size(), t.r, t.width, t.third);
        EXPECT_EQ(second.values, t.values);
    }
}

TEST(LegacyStreams, TruncatedOrMalformedStreamsAreRefused) {
    const auto bytes = hex("13 2D 90");
    EXPECT_THROW(decodeLegacyStream(bytes.data(), 2, 5, 1, 4, false), std::out_of_range);
    // More counts than the alphabet has magnitudes.
    const auto wide = hex("F0 00 00 00 00 00 00 00 00");
    EXPECT_THROW(decodeLegacyStream(wide.data(), wide.size(), 1, 1, 4, false), std::out_of_range);
    // A zero (code 1) followed by a run code of ones only, and a run longer than the stream.
    const auto runs = hex("02 FF FF FF FF FF");
    EXPECT_THROW(decodeLegacyStream(runs.data(), runs.size(), 4, 1, 4, true), std::out_of_range);
    const auto longRun = hex("02 F0");  // zero, run of 4
    EXPECT_THROW(decodeLegacyStream(longRun.data(), longRun.size(), 3, 1, 4, true), std::out_of_range);
}
