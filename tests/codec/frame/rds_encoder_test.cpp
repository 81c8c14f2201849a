#include "audio/DemodulatedSample.h"
#include "codec/frame/RdsEncoder.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

using kestrava::codec::frame::RdsEncoder;

namespace {

constexpr double bitRate = 1187.5;
constexpr std::uint32_t testSeed = 7118;

// Reads one section as a far-end reader would: K from the low six bits of byte 0, then K bits
// MSB first from byte 3.
struct Section {
    bool carry = false;
    bool boundary = false;
    std::uint32_t nextPhase = 0;
    std::vector<int> bits;
    std::uint32_t length = 0;
};

Section parse(const std::uint8_t* s) {
    Section out;
    out.carry = (s[0] & 0x80) != 0;
    out.boundary = (s[0] & 0x40) != 0;
    const int k = s[0] & 0x3F;
    out.nextPhase = (std::uint32_t(s[1]) << 8) | s[2];
    for (int i = 0; i < k; ++i) out.bits.push_back((s[3 + i / 8] >> (7 - i % 8)) & 1);
    out.length = 3 + (k + 7) / 8;
    return out;
}

// Baseband biphase data at 1187.5 bit/s: each bit is one sine cycle over its period, its sign
// the bit's value.
struct BiphaseSignal {
    explicit BiphaseSignal(double sampleRate, std::size_t bitCount) : rate(sampleRate) {
        std::mt19937 random(testSeed);
        for (std::size_t i = 0; i < bitCount; ++i) bits.push_back(static_cast<int>(random() & 1u));
    }
    float at(std::uint64_t sample) const {
        const double t = static_cast<double>(sample) / rate * bitRate;
        const auto index = static_cast<std::size_t>(t);
        const double phase = t - static_cast<double>(index);
        const double sign = bits[index % bits.size()] ? 1.0 : -1.0;
        return static_cast<float>(0.05 * sign * std::sin(2.0 * M_PI * phase));
    }
    double rate;
    std::vector<int> bits;
};

struct RdsTest : testing::Test {
    KestravaInstanceConfig config{192000, 2040};
    std::unique_ptr<RdsEncoder> rds = std::make_unique<RdsEncoder>(&config);
    std::vector<DemodulatedSample> records = std::vector<DemodulatedSample>(8192);
    std::uint8_t out[RdsEncoder::maxSectionLength + 8] = {};

    Section block(std::uint32_t count, double rate) {
        rds->bitStep = static_cast<float>(rds->bitRate / static_cast<float>(rate));
        rds->decisionStep = rds->bitStep;
        const std::uint32_t n = rds->encodeBlock(records.data(), count, out);
        Section s = parse(out);
        EXPECT_EQ(n, s.length);
        return s;
    }
};

TEST_F(RdsTest, SilenceTurnsPresenceOffAfterFortyEightBlocks) {
    for (int b = 1; b <= 48; ++b) {
        const Section s = block(2040, 192000.0);
        EXPECT_EQ(s.length, 3u);
        EXPECT_TRUE(s.bits.empty());
        EXPECT_FALSE(s.carry);
        EXPECT_EQ(rds->rdsPresent, b < 48) << b;
    }
    EXPECT_EQ(rds->power, 0.0f);
}

TEST_F(RdsTest, DecodesEveryBitAfterLock) {
    struct Case {
        double rate;
        std::uint32_t count;
    };
    for (const Case c : {Case{192000.0, 2040}, Case{176400.0, 1911}}) {
        SCOPED_TRACE(c.rate);
        rds = std::make_unique<RdsEncoder>(&config);
        const std::size_t blocks = 400;
        BiphaseSignal signal(c.rate, std::size_t(double(blocks) * c.count / c.rate * bitRate) + 64);
        std::vector<int> decoded;
        std::size_t lockedAt = 0;
        std::int32_t lastConfidence = 0;
        int implausible = 0;
        for (std::size_t b = 0; b < blocks; ++b) {
            for (std::uint32_t i = 0; i < c.count; ++i) records[i].rds = signal.at(b * c.count + i);
            const Section s = block(c.count, c.rate);
            // Every block's decision count lies in the window: the counter only ever climbs.
            if (b > 40 && rds->confidence < 192 && rds->confidence != lastConfidence + 1) ++implausible;
            lastConfidence = rds->confidence;
            EXPECT_LE(s.bits.size(), 14u);
            if (b == 100) lockedAt = decoded.size();
            decoded.insert(decoded.end(), s.bits.begin(), s.bits.end());
        }
        EXPECT_EQ(implausible, 0);
        EXPECT_EQ(rds->confidence, 192);
        EXPECT_TRUE(rds->rdsPresent);
        // After lock the decoded stream is the sent one from some bit on, without a slip.
        const std::vector<int> tail(decoded.begin() + std::ptrdiff_t(lockedAt), decoded.end());
        ASSERT_GT(tail.size(), 3000u);
        bool found = false;
        for (std::size_t start = 0; start + tail.size() <= signal.bits.size() && !found; ++start) {
            found = std::equal(tail.begin(), tail.end(), signal.bits.begin() + std::ptrdiff_t(start));
        }
        EXPECT_TRUE(found) << "decoded bits do not match the sent sequence";
    }
}

TEST_F(RdsTest, SectionWithThirteenBitsAndACarry) {
    // 27 decisions paired from offset 0 (every pair equal): 13 bits and one carried decision.
    const int bits[13] = {1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0, 1};
    for (int k = 0; k < 13; ++k) rds->halfBits[2 * k] = rds->halfBits[2 * k + 1] = bits[k];
    rds->halfBits[26] = 1;
    rds->halfBitCount = 27;
    rds->phase[0] = 0.25f;  // combined bit phase 0.25, no step: the next phase is 0.25 too
    rds->phase[1] = 0.25f;
    rds->bitStep = 0.0f;
    rds->decisionStep = 0.0f;
    ASSERT_EQ(rds->encodeBlock(records.data(), 0, out), 5u);
    EXPECT_EQ(out[0], 0x8D);
    EXPECT_EQ(out[1], 0x40);
    EXPECT_EQ(out[2], 0x00);
    EXPECT_EQ(out[3], 0b10110010);
    EXPECT_EQ(out[4], 0b11101000);
    EXPECT_EQ(rds->halfBitCount, 1);
    EXPECT_EQ(rds->halfBits[0], 1);
}

TEST_F(RdsTest, SectionNeverCarriesMoreThanSixtyThreeBits) {
    for (int k = 0; k < 200; ++k) rds->halfBits[k] = (k / 2) % 2;
    rds->halfBitCount = 200;
    const Section s = block(0, 192000.0);
    EXPECT_EQ(s.bits.size(), 63u);
    EXPECT_EQ(s.length, 3u + 8u);
    EXPECT_FALSE(s.carry);
}

}  // namespace
