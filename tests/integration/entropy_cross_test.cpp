// Streams written by the encoder's entropy coder read back by the test-side readers, which were
// built from the stream format alone: every version's format, rates that change the bin layout,
// escapes, long zero runs, and streams laid back to back as in a payload.
#include "codec/entropy/EntropyCoder.h"
#include "decoder/LegacyStreams.h"
#include "decoder/WideStreams.h"
#include "net/NetTestConfig.h"

#include <gtest/gtest.h>

#include <random>

using kestrava::codec::entropy::EntropyCoder;

using namespace streamdecoder;

namespace {

// Level codes shaped like a block's: mostly small, runs of zeros, now and then a large one.
std::vector<std::int32_t> blockCodes(std::mt19937& rng, std::size_t n, int spread, int escapeLimit) {
    std::vector<std::int32_t> v(n, 0);
    std::geometric_distribution<int> magnitude(1.0 / (1.0 + spread));
    for (std::size_t i = 0; i < n; ++i) {
        if (rng() % 16 == 0) {
            const std::size_t run = rng() % 60;
            i += run;
            continue;
        }
        int m = std::min(magnitude(rng), escapeLimit);
        if (rng() % 97 == 0) m = static_cast<int>(rng() % static_cast<unsigned>(escapeLimit + 1));
        v[i] = (rng() & 1) != 0 ? m : -m;
    }
    return v;
}

}  // namespace

TEST(EntropyCross, EncoderStreamsReadBackValueForValue) {
    nettest::CapturedConfig c;
    std::mt19937 rng(2026);
    struct Case {
        int version;
        std::int32_t rate;
        int legacyRange, escapeBits, spread;
    };
    const Case cases[] = {
        {0, 320, 16, 8, 3},  {0, 400, 32, 9, 20},   {1, 320, 16, 7, 2},    {2, 576, 16, 10, 40},
        {3, 176, 16, 5, 1},  {3, 512, 16, 9, 120},  {3, 1000, 16, 12, 600}, {1, 200, 16, 7, 0},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE("version " + std::to_string(t.version) + ", rate " + std::to_string(t.rate));
        EntropyCoder coder(&c.config);
        ASSERT_TRUE(coder.configureReset(t.legacyRange, t.escapeBits));
        const int limit = (1 << t.escapeBits) - 1;
        for (int round = 0; round < 20; ++round) {
            const std::size_t n = round == 0 ? 1 : 408 + rng() % 16;
            const auto mains = blockCodes(rng, 2 * n, t.spread, limit);
            const auto third = blockCodes(rng, n, t.spread / 4, limit);
            std::vector<std::uint8_t> buffer(32768, 0xA5);
            std::uint32_t at = 0;
            if (t.version == 0) {
                at += coder.encodeLegacy(mains.data(), static_cast<std::uint32_t>(2 * n), buffer.data(), 32768);
                at += coder.encodeLegacyAux(third.data(), static_cast<std::uint32_t>(n), buffer.data() + at, 32768 - at);
            } else {
                at += coder.encode(mains.data(), static_cast<std::uint32_t>(2 * n), buffer.data(), 32768, t.rate,
                                   static_cast<std::uint32_t>(t.version));
                at += coder.encode(third.data(), static_cast<std::uint32_t>(n), buffer.data() + at, 32768 - at, t.rate,
                                   static_cast<std::uint32_t>(t.version));
            }
            DecodedStream first, second;
            if (t.version == 0) {
                first = decodeLegacyStream(buffer.data(), at, 2 * n, t.legacyRange, t.escapeBits, false);
                second = decodeLegacyStream(buffer.data() + first.bytes, at - first.bytes, n, t.legacyRange,
                                            t.escapeBits, true);
            } else {
                const int countBits = t.version >= 3 ? 4 : 3;
                first = decodeWideStream(buffer.data(), at, 2 * n, t.rate, countBits, t.escapeBits);
                second = decodeWideStream(buffer.data() + first.bytes, at - first.bytes, n, t.rate, countBits,
                                          t.escapeBits);
            }
            ASSERT_EQ(first.values, mains) << "round " << round;
            ASSERT_EQ(second.values, third) << "round " << round;
            ASSERT_EQ(first.bytes + second.bytes, at) << "round " << round;
        }
    }
}
