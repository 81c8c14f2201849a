#include "codec/entropy/EntropyCoder.h"
#include "codec/entropy/RandomPlanes.h"
#include "codec/entropy/StreamDecoder.h"
#include "codec/frame/AudioPayload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

using kestrava::codec::frame::AudioPayload;

using kestrava::codec::entropy::EntropyCoder;

using namespace streamtest;

namespace {

struct Setting {
    const char* name;
    std::uint32_t version;
    std::int32_t r;  // legacy alphabet
    std::int32_t escapeBits;
    std::int32_t rate;
};

const Setting settings[] = {
    {"legacy 288 kbit/s", 0, 16, 9, 288},
    {"version 1 at 256 kbit/s", 1, 16, 9, 256},
    {"version 2 at 320 kbit/s", 2, 32, 10, 320},
    {"version 3 at 512 kbit/s", 3, 128, 11, 512},
    {"version 3 at 576 kbit/s", 3, 256, 12, 576},
};

struct Payload : testing::Test {
    struct Decoded {
        std::vector<std::int32_t> first, second, third;
    };

    // Encodes planes with the frame prefix S = R + 2 + D and returns whether the frame may go.
    bool encode(const Setting& s, std::uint32_t n, bool thirdSilent, std::uint32_t resetLength = 0,
                std::uint32_t rdsLength = 6) {
        EXPECT_TRUE(coder->configureReset(s.r, s.escapeBits));
        frame.assign(AudioPayload::bufferSize, 0xCC);
        const AudioPayload::Planes planes{first, second, third};
        const AudioPayload::Request request{n, resetLength, rdsLength, thirdSilent, s.rate, s.version};
        result = AudioPayload::Result{};
        start = resetLength + 2 + rdsLength;
        return payload->encode(planes, request, *coder, frame.data(), result);
    }

    std::optional<std::vector<std::int32_t>> read(BitReader& reader, const Setting& s, std::size_t count, bool aux) {
        if (s.version == 0) return decodeLegacy(reader, count, s.r, s.escapeBits, aux);
        return decodeRunLength(reader, count, s.rate, s.version >= 3 ? 4 : 3, s.escapeBits);
    }

    // Reads the payload back as a receiver does: from S, n codes per channel, the forms chosen
    // by the two header bits.
    std::optional<Decoded> decode(const Setting& s, std::uint32_t n, bool thirdSilent) {
        Decoded out;
        const std::size_t end = result.frameLength + result.thirdLength;
        BitReader reader(frame.data(), end, start);
        if (result.difference) {
            const auto a = read(reader, s, n, false);
            const auto b = read(reader, s, n, false);
            if (!a || !b) return std::nullopt;
            out.first = *a;
            for (std::uint32_t i = 0; i < n; ++i) out.second.push_back(std::int32_t(std::uint32_t((*a)[i]) + std::uint32_t((*b)[i])));
        } else {
            const auto joint = read(reader, s, 2 * n, false);
            if (!joint) return std::nullopt;
            out.first.assign(joint->begin(), joint->begin() + n);
            out.second.assign(joint->begin() + n, joint->end());
        }
        if (reader.bytePosition() != result.frameLength) return std::nullopt;
        if (!thirdSilent) {
            const auto t = read(reader, s, n, true);
            if (!t) return std::nullopt;
            out.third = *t;
        }
        if (reader.bytePosition() != end) return std::nullopt;
        return out;
    }

    // Lengths of the two forms as the coder gives them on their own.
    std::pair<std::uint32_t, std::uint32_t> formLengths(const Setting& s, std::uint32_t n) {
        std::vector<std::int32_t> joint(first.begin(), first.begin() + n);
        joint.insert(joint.end(), second.begin(), second.begin() + n);
        std::vector<std::int32_t> difference;
        for (std::uint32_t i = 0; i < n; ++i) difference.push_back(second[i] - first[i]);
        std::vector<std::uint8_t> scratch(AudioPayload::bufferSize);
        auto one = [&](const std::int32_t* v, std::uint32_t count) {
            return s.version == 0 ? coder->encodeLegacy(v, count, scratch.data(), std::uint32_t(scratch.size()))
                                  : coder->encode(v, count, scratch.data(), std::uint32_t(scratch.size()), s.rate, s.version);
        };
        return {one(joint.data(), 2 * n), one(first.data(), n) + one(difference.data(), n)};
    }

    std::unique_ptr<EntropyCoder> coder = std::make_unique<EntropyCoder>(nullptr);
    std::unique_ptr<AudioPayload> payload{new AudioPayload};
    std::vector<std::int32_t> first, second, third;
    std::vector<std::uint8_t> frame;
    AudioPayload::Result result;
    std::uint32_t start = 0;
};

}  // namespace

TEST_F(Payload, AllThreePlanesRoundTripInTheShorterForm) {
    const std::uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::uint32_t n = 408;
    for (const Setting& s : settings) {
        const std::uint32_t largest = (1u << s.escapeBits) - 1u;
        // Near-equal main channels favour the difference form, unrelated ones the joint form.
        for (const bool related : {true, false}) {
            for (const bool thirdSilent : {false, true}) {
                SCOPED_TRACE(std::string(s.name) + (related ? ", related" : ", unrelated") +
                             (thirdSilent ? ", silent third" : ""));
                first = randomPlane(random, n, 6.0, largest / 2);
                second = related ? first : randomPlane(random, n, 6.0, largest / 2);
                if (related) {
                    const auto noise = randomPlane(random, n, 0.3, 3);
                    for (std::uint32_t i = 0; i < n; ++i) second[i] += noise[i];
                }
                third = thirdSilent ? std::vector<std::int32_t>(n, 0) : randomPlane(random, n, 1.0, largest);
                ASSERT_TRUE(coder->configureReset(s.r, s.escapeBits));
                const auto [joint, split] = formLengths(s, n);

                ASSERT_TRUE(encode(s, n, thirdSilent, 0, 7));
                EXPECT_EQ(result.difference, split < joint) << joint << " " << split;
                EXPECT_EQ(result.frameLength, start + (split < joint ? split : joint));
                if (related) {
                    EXPECT_TRUE(result.difference);
                }
                if (thirdSilent) {
                    EXPECT_EQ(result.thirdLength, 0u);
                }
                const auto decoded = decode(s, n, thirdSilent);
                ASSERT_TRUE(decoded.has_value());
                EXPECT_EQ(decoded->first, first);
                EXPECT_EQ(decoded->second, second);
                if (!thirdSilent) {
                    EXPECT_EQ(decoded->third, third);
                }
                EXPECT_EQ(frame[start - 1], 0xCC) << "nothing written in front of S";
            }
        }
    }
}

TEST_F(Payload, DifferenceFormIsTriedOnlyWhenEveryDifferenceFitsTheEscapeField) {
    const std::uint32_t n = 64;
    for (const Setting& s : {settings[0], settings[1]}) {
        const std::int32_t field = 1 << s.escapeBits;  // 2^w
        const struct {
            std::int32_t low, high;  // the one differing code pair
            bool tried;
        } cases[] = {{-(field / 2) + 1, field / 2, true},  // difference 2^w - 1
                     {-(field / 2), field / 2, false}};      // difference 2^w
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(s.name) + (c.tried ? ": 2^w - 1" : ": 2^w"));
            first.assign(n, 1);
            second = first;
            first[10] = c.low;
            second[10] = c.high;
            third.assign(n, 0);
            ASSERT_TRUE(encode(s, n, true));
            // With all other codes equal the difference form is far shorter whenever tried.
            EXPECT_EQ(result.difference, c.tried);
            const auto decoded = decode(s, n, true);
            ASSERT_TRUE(decoded.has_value());
            EXPECT_EQ(decoded->first, first);
            EXPECT_EQ(decoded->second, second);
        }
    }

    // Escape width 0: only identical main channels are tried.
    const Setting zeroWidth{"version 1, width 0", 1, 16, 0, 256};
    first.assign(n, 2);
    second = first;
    ASSERT_TRUE(encode(zeroWidth, n, true));
    EXPECT_TRUE(result.difference);
    second[3] = 3;
    ASSERT_TRUE(encode(zeroWidth, n, true));
    EXPECT_FALSE(result.difference);
}

TEST_F(Payload, SingleCodeBlocksAndTheFramePrefix) {
    first = {5};
    second = {-5};
    third = {1};
    for (const Setting& s : settings) {
        SCOPED_TRACE(s.name);
        ASSERT_TRUE(encode(s, 1, false, 40, 9));
        EXPECT_EQ(start, 51u);
        const auto decoded = decode(s, 1, false);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->second, second);
        EXPECT_EQ(decoded->third, third);
        EXPECT_GT(result.thirdLength, 0u);
    }
}

TEST_F(Payload, FramesThatMustNotBeSentAreRefused) {
    first.assign(8193, 1);
    second = first;
    third = first;
    const Setting& s = settings[1];
    EXPECT_FALSE(encode(s, 0, false)) << "no codes";
    EXPECT_FALSE(encode(s, 8193, false)) << "more codes than a plane holds";
    EXPECT_FALSE(encode(s, 8, false, 32760, 6)) << "S at the end of the buffer";
    EXPECT_FALSE(encode(s, 8, false, 0xFFFFFFFFu, 6)) << "S wraps around";
    third.resize(4);
    EXPECT_FALSE(encode(s, 8, false)) << "third plane shorter than n";
    EXPECT_TRUE(encode(s, 8, true)) << "a silent third plane is not read";

    // A legacy alphabet that cannot be built fails the joint stream: the frame is refused.
    const Setting unbuildable{"legacy r 257", 0, 257, 9, 576};
    third.assign(8, 0);
    EXPECT_FALSE(encode(unbuildable, 8, true));
    // Streams that outgrow the buffer fail instead of running past it.
    first.assign(8192, 0);
    for (std::uint32_t i = 0; i < 8192; ++i) first[i] = std::int32_t(i % 2 ? 4000 + i : -(4000 + int(i)));
    second = first;
    third = first;
    EXPECT_FALSE(encode(settings[3], 8192, false, 0, 30000));
}
