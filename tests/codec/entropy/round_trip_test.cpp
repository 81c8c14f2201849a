// Random code planes coded by the encoder and read back by the test-side decoder, which is
// written from the stream description alone.
#include "codec/entropy/EntropyCoder.h"
#include "codec/entropy/StreamDecoder.h"
#include "RandomPlanes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using kestrava::codec::entropy::EntropyCoder;

using namespace streamtest;

TEST(EntropyRoundTrip, RunLengthStreamsDecodeExactly) {
    const std::uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto coder = std::make_unique<EntropyCoder>(nullptr);
    std::vector<std::uint8_t> buffer(32768);
    for (const std::int32_t rate : {-1, 319, 320, 512, 576}) {
        for (const std::uint32_t version : {1u, 3u}) {
            for (const std::int32_t escapeBits : {8, 12, 20}) {
                for (const double spread : {0.3, 4.0, 60.0}) {
                    for (const std::size_t count : {std::size_t{1}, std::size_t{7}, std::size_t{816}}) {
                        ASSERT_TRUE(coder->configureReset(0, escapeBits));
                        const auto values = randomPlane(random, count, spread, (1u << escapeBits) - 1u);
                        const std::uint32_t bytes = coder->encode(values.data(), std::uint32_t(count), buffer.data(),
                                                                  std::uint32_t(buffer.size()), rate, version);
                        ASSERT_GT(bytes, 0u);
                        BitReader reader(buffer.data(), bytes);
                        const auto decoded = decodeRunLength(reader, count, rate, version >= 3 ? 4 : 3, escapeBits);
                        ASSERT_TRUE(decoded.has_value())
                            << "rate " << rate << " version " << version << " escape " << escapeBits;
                        EXPECT_EQ(*decoded, values) << "rate " << rate << " version " << version;
                        EXPECT_EQ(reader.bytePosition(), bytes);
                    }
                }
            }
        }
    }
}

TEST(EntropyRoundTrip, LegacyStreamsDecodeExactly) {
    const std::uint32_t seed = testSeed() + 1;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto coder = std::make_unique<EntropyCoder>(nullptr);
    std::vector<std::uint8_t> buffer(32768);
    // r as the reset step sets it from 176 to 576 kbit/s, and escape widths up to the largest
    // legacy level count's.
    for (const std::int32_t r : {4, 8, 16, 32, 64, 128, 256}) {
        for (const std::int32_t width : {4, 9, 11}) {
            for (const bool aux : {false, true}) {
                for (const double spread : {0.2, 3.0, 40.0}) {
                    for (const std::size_t count : {std::size_t{1}, std::size_t{5}, std::size_t{816}}) {
                        ASSERT_TRUE(coder->configureReset(r, width));
                        const auto values = randomPlane(random, count, spread, (1u << width) - 1u);
                        const auto n = std::uint32_t(count);
                        const std::uint32_t bytes =
                            aux ? coder->encodeLegacyAux(values.data(), n, buffer.data(), std::uint32_t(buffer.size()))
                                : coder->encodeLegacy(values.data(), n, buffer.data(), std::uint32_t(buffer.size()));
                        ASSERT_GT(bytes, 0u);
                        BitReader reader(buffer.data(), bytes);
                        const auto decoded = decodeLegacy(reader, count, r, width, aux);
                        ASSERT_TRUE(decoded.has_value()) << "r " << r << " width " << width << " aux " << aux;
                        EXPECT_EQ(*decoded, values) << "r " << r << " width " << width << " aux " << aux;
                        EXPECT_EQ(reader.bytePosition(), bytes);
                    }
                }
            }
        }
    }
}

// The decoder's own code build reproduces the stated examples, so a round trip checks the
// encoder against an independent reading of the format, not against itself.
TEST(EntropyRoundTrip, DecoderBuildsTheStatedCodes) {
    EXPECT_EQ(buildLegacyTree(1, {3, 2}).codes(),
              (std::map<int, std::string>{{-2, "0101"}, {-1, "00"}, {0, "1"}, {1, "011"}, {2, "0100"}}));
    const auto wide = buildWideTree(256, {7, 3, 2, 2, 2}, 0).codes();
    EXPECT_EQ(wide.at(0), "0");
    EXPECT_EQ(wide.at(256), "1100010");
    EXPECT_EQ(wide.at(-7), "110000");
    EXPECT_EQ(wide.at(3), "11001");
    EXPECT_EQ(buildWideTree(256, {0}, 7).codes(), (std::map<int, std::string>{{-255, "0"}, {256, "10"}, {255, "11"}}));
}
