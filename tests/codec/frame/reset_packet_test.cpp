#include "codec/Encoder.h"
#include "codec/LegacyEncoder.h"
#include "codec/entropy/EntropyCoder.h"
#include "codec/frame/ResetPacket.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

using kestrava::codec::frame::ResetPacket;

using kestrava::codec::Encoder;
using kestrava::codec::LegacyEncoder;

using kestrava::codec::entropy::EntropyCoder;

namespace {

struct ResetPacketTest : testing::Test {
    KestravaInstanceConfig config{192000, 2040};
    EntropyCoder coder{&config};
    std::array<std::uint8_t, 64> out{};

    std::vector<std::uint8_t> prepare(const ResetPacket::Inputs& in, const ResetPacket::Generations& g) {
        out.fill(0xEE);
        const std::uint32_t n = ResetPacket::prepare(in, g, coder, out.data());
        EXPECT_EQ(out[n], 0xEE) << "wrote past the block";
        return {out.begin(), out.begin() + n};
    }
};

TEST_F(ResetPacketTest, LegacyBlocksAndLadders) {
    struct Case {
        std::int32_t rate;
        std::uint8_t rateHigh, rateLow;
        std::uint32_t linearTop;
        std::vector<double> firstGeometric;
        std::uint32_t levelCount;
        std::int32_t indexBits;
    };
    const Case cases[] = {
        {320, 0x01, 0x40, 16, {17.0, 18.0625, 19.19140625, 20.390869140625}, 154, 8},
        {400, 0x01, 0x90, 32, {33.0, 34.03125, 35.0947265625}, 280, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        std::unique_ptr<LegacyEncoder> e(new LegacyEncoder(&config));
        ResetPacket::Inputs in;
        in.bitRate = c.rate;
        in.codecVersion = 0;
        in.spectrumFlag = c.rate == 400;
        const auto block = prepare(in, {nullptr, nullptr, e.get()});
        ASSERT_EQ(block.size(), 41u);
        EXPECT_EQ(block[2], c.rateHigh);
        EXPECT_EQ(block[3], c.rateLow);
        EXPECT_EQ(block[4], c.rate == 400 ? 0x80 : 0x00);
        for (int r = 0; r < 2; ++r) {
            for (int k = 0; k < 16; ++k) EXPECT_EQ(block[5 + 18 * r + k], 128);
            EXPECT_EQ(block[5 + 18 * r + 16], 0);
            EXPECT_EQ(block[5 + 18 * r + 17], 0);
        }
        EXPECT_EQ(coder.escapeWidth(), c.indexBits);
        EXPECT_TRUE(e->configured());
        for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(e->state.rateStates[ch].levelCount, std::int32_t(c.levelCount));
        const double* levels = e->quantizers[0]->levels;
        for (std::uint32_t i = 0; i <= c.linearTop; ++i) EXPECT_EQ(levels[i], double(i));
        for (std::size_t i = 0; i < c.firstGeometric.size(); ++i) {
            EXPECT_EQ(levels[c.linearTop + 1 + i], c.firstGeometric[i]);
        }
        EXPECT_LE(levels[c.levelCount - 1], 65536.0);
        EXPECT_GT(levels[c.levelCount - 1], 63000.0);
        EXPECT_EQ(e->state.targetRate, c.rate);
    }
}

TEST_F(ResetPacketTest, DoubleGenerationClampsTheControlledRate) {
    struct Case {
        std::int32_t rate;
        std::int32_t levelClass;
        std::int32_t indexBits;
    };
    for (const Case c : {Case{800, 5, 10}, Case{320, 2, 7}}) {
        std::unique_ptr<Encoder<double, 0>> e(new Encoder<double, 0>(&config));
        ResetPacket::Inputs in;
        in.bitRate = c.rate;
        in.codecVersion = 1;
        const auto block = prepare(in, {e.get(), nullptr, nullptr});
        ASSERT_EQ(block.size(), 41u);
        EXPECT_EQ(block[2] * 256 + block[3], c.rate);  // the block says the setting, not the clamp
        EXPECT_EQ(block[4], 0x00);
        EXPECT_EQ(e->state.rateStates[0].levelClass, c.levelClass);
        EXPECT_EQ(e->state.rateStates[1].levelClass, c.levelClass);
        EXPECT_EQ(coder.escapeWidth(), c.indexBits);
        EXPECT_EQ(e->state.codecVersion, 1);
    }
}

TEST_F(ResetPacketTest, FloatGenerationForms) {
    struct Case {
        const char* name;
        bool plus, vbr, spectrum;
        std::size_t length;
        std::uint8_t flags;
    };
    const Case cases[] = {
        {"Plus with variable rate", true, true, false, 36, 0x60},
        {"Plus with variable rate and spectrum flag", true, true, true, 36, 0xE0},
        {"Plus without variable rate", true, false, false, 33, 0x40},
        {"outside Plus mode", false, false, false, 41, 0x00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Encoder<float, 4>> e(new Encoder<float, 4>(&config));
        ResetPacket::Inputs in;
        in.bitRate = 256;
        in.codecVersion = 3;
        in.plusMode = c.plus;
        in.variableBitRate = c.vbr;
        in.vbrNoiseLevel = 32;
        in.vbrMaxBitRate = 0;
        in.spectrumFlag = c.spectrum;
        in.pilotLevel = 0.5f;
        in.rdsLevel = 1.0f;
        const auto block = prepare(in, {nullptr, e.get(), nullptr});
        ASSERT_EQ(block.size(), c.length);
        EXPECT_EQ(block[0], 128);
        EXPECT_EQ(block[1], 255);
        EXPECT_EQ(block[2], 0x01);
        EXPECT_EQ(block[3], 0x00);
        EXPECT_EQ(block[4], c.flags);
        const std::size_t recordLength = c.plus ? 14 : 18;
        for (int r = 0; r < 2; ++r) {
            const std::size_t at = 5 + r * recordLength;
            for (int k = 0; k < 12; ++k) EXPECT_EQ(block[at + k], 128) << r << " " << k;
            if (!c.plus) {
                for (int k = 12; k < 16; ++k) EXPECT_EQ(block[at + k], 0);
            }
        }
        if (c.length == 36) {
            EXPECT_EQ(block[33], 0x20);
            EXPECT_EQ(block[34], 0x01);
            EXPECT_EQ(block[35], 0x00);
        }
    }
}

TEST(ResetPacketFields, NoiseLevelCompression) {
    const std::pair<std::int32_t, std::uint8_t> cases[] = {
        {1, 1},     {32, 32},   {33, 32},   {48, 40},   {64, 48},    {80, 52},     {96, 56},
        {128, 64},  {192, 72},  {256, 80},  {1000, 111}, {16384, 176},
    };
    for (const auto& [level, byte] : cases) EXPECT_EQ(ResetPacket::compressNoiseLevel(level), byte) << level;
}

TEST_F(ResetPacketTest, PilotLevelByte) {
    for (const auto& [level, byte] : {std::pair{1.0f, 255}, {0.5f, 128}, {0.0f, 0}, {2.0f, 255}, {-1.0f, 0}}) {
        std::unique_ptr<Encoder<float, 4>> e(new Encoder<float, 4>(&config));
        ResetPacket::Inputs in;
        in.pilotLevel = level;
        const auto block = prepare(in, {nullptr, e.get(), nullptr});
        EXPECT_EQ(block[0], byte) << level;
    }
}

}  // namespace
