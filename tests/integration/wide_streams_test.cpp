// The reader of the streams of versions 1 and up against the worked tables and streams of the
// format: bin layouts, the code of a header, runs of zeros and escapes.
#include "decoder/WideStreams.h"
#include "transport/TransportPackets.h"

#include <gtest/gtest.h>

#include <string>

using namespace streamdecoder;
using transporttest::hex;

namespace {

// "0100 11..." to bytes, zero bits up to the byte's end.
std::vector<std::uint8_t> packBits(const std::string& text) {
    std::vector<std::uint8_t> out;
    int n = 0;
    for (char c : text) {
        if (c != '0' && c != '1') continue;
        if (n % 8 == 0) out.push_back(0);
        if (c == '1') out.back() |= static_cast<std::uint8_t>(0x80 >> (n % 8));
        ++n;
    }
    return out;
}

std::string layoutText(std::int32_t rate) {
    std::string text;
    for (const WideBin& b : wideBinLayout(rate)) {
        text += std::to_string(b.first);
        if (b.width > 1) text += "-" + std::to_string(std::min(b.first + b.width - 1, 254));
        text += " ";
    }
    return text;
}

}  // namespace

TEST(WideStreams, BinLayoutsFollowTheRate) {
    EXPECT_EQ(layoutText(-5), "0 1 2 3-4 5-7 8-12 13-20 21-33 34-54 55-88 89-143 144-232 233-254 ");
    EXPECT_EQ(layoutText(319), layoutText(0));
    EXPECT_EQ(layoutText(320), "0 1 2 3 4-5 6-8 9-13 14-21 22-34 35-55 56-89 90-144 145-233 234-254 ");
    EXPECT_EQ(layoutText(512),
              "0 1 2 3 4 5 6 7-8 9-11 12-16 17-24 25-37 38-58 59-92 93-147 148-236 237-254 ");
}

TEST(WideStreams, CodesOfTheWorkedTables) {
    const std::map<std::int32_t, std::string> worked = {
        {0, "0"},        {4, "10000"},   {-4, "10001"},  {5, "10010"},  {-5, "10011"},   {2, "1010"},
        {-2, "1011"},    {-7, "110000"}, {256, "1100010"}, {7, "1100011"}, {3, "11001"}, {-3, "11010"},
        {6, "110110"},   {-6, "110111"}, {1, "1110"},    {-1, "1111"}};
    EXPECT_EQ(wideCodes({7, 3, 2, 2, 2}, 0, 256), worked);
    EXPECT_EQ(wideCodes({0}, 5, 256), (std::map<std::int32_t, std::string>{{-255, "0"}, {256, "10"}, {255, "11"}}));
    EXPECT_EQ(wideCodes({7}, 0, 256), (std::map<std::int32_t, std::string>{{256, "0"}, {0, "1"}}));
}

TEST(WideStreams, WorkedStreamsDecode) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<std::int32_t> values;
        std::int32_t rate;
        int countBits, escapeBits;
    };
    const Case cases[] = {
        {"ten values, 3-bit counts",
         packBits("00000100 111 011 010 010 010 000  0 0 0 1110 1111 1010 0 10010 11010 0"),
         {0, 0, 0, 1, -1, 2, 0, 5, -3, 0}, 256, 3, 8},
        {"408 zeros, 3-bit counts", hex("00 E1 FF 39 60"), std::vector<std::int32_t>(408, 0), 256, 3, 8},
        {"408 zeros, 4-bit counts", hex("00 F0 7F CE 58"), std::vector<std::int32_t>(408, 0), 256, 4, 8},
        // Every value escapes: -255 -> 0, 256 -> 10, +255 -> 11, ten-bit magnitudes.
        {"escapes", packBits("00000000 000 111  11 0100101100  0 0100101100"), {300, -300}, 256, 3,
         10},
        // Runs: 0 -> 1, 256 -> 0; runs of 5 (field 0) and 8 (field 10), then a single zero.
        {"runs", packBits("00000000 111 000  0 0  0 10  1"), std::vector<std::int32_t>(14, 0), 256, 3, 8},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        auto bytes = t.bytes;
        const std::size_t length = bytes.size();
        bytes.insert(bytes.end(), 4, 0xFF);  // the next stream's bits must stay unread
        const DecodedStream s = decodeWideStream(bytes.data(), bytes.size(), t.values.size(), t.rate, t.countBits,
                                                 t.escapeBits);
        EXPECT_EQ(s.values, t.values);
        EXPECT_EQ(s.bytes, length);
    }
}

TEST(WideStreams, DamagedStreamsAreRefused) {
    const auto ten = packBits("00000100 111 011 010 010 010 000  0 0 0 1110 1111 1010 0 10010 11010 0");
    EXPECT_THROW(decodeWideStream(ten.data(), 4, 10, 256, 3, 8), std::out_of_range);
    const auto lastBin = hex("FF 00 00");
    EXPECT_THROW(decodeWideStream(lastBin.data(), lastBin.size(), 1, 256, 3, 8), std::out_of_range);
    // A run of 8 in a stream of 6 values.
    const auto run = packBits("00000000 111 000  0 10");
    EXPECT_THROW(decodeWideStream(run.data(), run.size(), 6, 256, 3, 8), std::out_of_range);
}
