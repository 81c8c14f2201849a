// Frame sections read from hand-built frames: the reset packet in its long, short and rate-block
// forms, the phase field, the RDS section and the streams of the three planes, and the
// parameters that a reset packet sets for each codec version.
#include "decoder/FrameSections.h"
#include "transport/TransportPackets.h"

#include <gtest/gtest.h>

using namespace streamdecoder;
using transporttest::hex;

namespace {

// A frame packet of version `version` with the given flags byte and the sections behind its
// header (no GPS stamp, no level; sample count 10, so two codes per plane).
StreamFrame frameOf(int version, std::uint8_t flags, const Bytes& sections) {
    StreamFrame f;
    if (version == 3) {
        // Level flag 0, position 0, then the count shifted by the flag's bit.
        f.packet = {3, flags, 0, 0, 0, 0, 0, 0x05, 0x00};
    } else {
        f.packet = {static_cast<std::uint8_t>(version), flags, 0, 0, 0x01, 0x00, 0x00, 0x0A};
    }
    f.packet.insert(f.packet.end(), sections.begin(), sections.end());
    f.header = transporttest::readFrameHeader(f.packet);
    return f;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes longReset(std::uint16_t rate, std::uint8_t flags) {
    Bytes r = {0x80, 0x40, static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate), flags};
    for (int c = 0; c < 2; ++c) {
        for (int h = 0; h < 16; ++h) r.push_back(static_cast<std::uint8_t>(100 + c * 16 + h));
        r.push_back(0x21);
        r.push_back(0x42);
    }
    return r;
}

// Four zeros (joint stream of two planes) and two zeros, in the format of versions 1 and 2.
const Bytes jointZeros = hex("00 E3 C0");
const Bytes thirdZeros = hex("00 E3");
const Bytes rdsThirteen = hex("8D 40 00 B5 A8");  // K 13, carry set, phase 0.25

}  // namespace

TEST(FrameSections, ResetPacketSetsTheParametersOfEachVersion) {
    struct Case {
        int version;
        std::uint16_t rate;
        bool plus;
        int escapeBits, legacyRange;
    };
    const Case cases[] = {
        {0, 320, false, 8, 16}, {0, 400, false, 9, 32}, {1, 320, false, 7, 16}, {2, 800, false, 10, 0},
        {3, 176, true, 5, 0},   {3, 176, false, 7, 0},  {3, 720, false, 12, 0},
    };
    for (const Case& t : cases) {
        ResetPacket r;
        r.bitRate = t.rate;
        r.plusMode = t.plus;
        const StreamParameters s = parametersOf(t.version, r);
        EXPECT_EQ(s.escapeBits, t.escapeBits) << t.version << " " << t.rate;
        if (t.version == 0) {
            EXPECT_EQ(s.legacyRange, t.legacyRange) << t.rate;
        }
    }
}

TEST(FrameSections, SectionsOfAFrameWithAResetPacket) {
    std::optional<StreamParameters> parameters;
    const StreamFrame first =
        frameOf(1, 0x40 | 0x02, concat({longReset(320, 0x80), hex("C0 00"), rdsThirteen, jointZeros, thirdZeros}));
    const DecodedFrame d = decodeFrame(first, parameters, 192000);
    ASSERT_TRUE(d.reset.has_value());
    EXPECT_EQ(d.reset->length, 41u);
    EXPECT_EQ(d.reset->bitRate, 320);
    EXPECT_TRUE(d.reset->spectrumFlag);
    EXPECT_EQ(d.reset->records[1].history[15], 131);
    EXPECT_EQ(d.reset->records[1].qualityScale, 0x42);
    EXPECT_EQ(d.pilotPhase, 0xC000);
    EXPECT_TRUE(d.rds.carry);
    EXPECT_EQ(d.rds.bitCount, 13);
    EXPECT_EQ(d.rds.nextPhase, 0x4000);
    EXPECT_EQ(d.rds.bits, (std::vector<std::uint8_t>{1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1}));
    EXPECT_EQ(d.planeLength, 2u);
    for (const auto& plane : d.codes) EXPECT_EQ(plane, (std::vector<std::int32_t>{0, 0}));
    ASSERT_TRUE(parameters.has_value());
    EXPECT_EQ(parameters->escapeBits, 7);

    // The next frame without reset packet, third channel silent, no RDS bits.
    const DecodedFrame next = decodeFrame(frameOf(1, 0x10, concat({hex("00 01 00 00 00"), jointZeros})), parameters, 192000);
    EXPECT_FALSE(next.reset.has_value());
    EXPECT_TRUE(next.thirdSilent);
    EXPECT_EQ(next.codes[2], (std::vector<std::int32_t>{0, 0}));
}

TEST(FrameSections, ShortResetPacketWithRateBlock) {
    Bytes reset = {0xFF, 0x00, 0x01, 0x00, 0x60};
    for (int i = 0; i < 28; ++i) reset.push_back(static_cast<std::uint8_t>(i));
    reset.insert(reset.end(), {0x20, 0x01, 0x00});
    std::optional<StreamParameters> parameters;
    // Version 3 streams carry 4-bit counts: four zeros, then two zeros.
    const Bytes joint = hex("00 F0 F0"), third = hex("00 F0 C0");
    const DecodedFrame d =
        decodeFrame(frameOf(3, 0x40, concat({reset, hex("00 00 00 00 00"), joint, third})), parameters, 192000);
    ASSERT_TRUE(d.reset.has_value());
    EXPECT_EQ(d.reset->length, 36u);
    EXPECT_TRUE(d.reset->plusMode);
    EXPECT_EQ(d.reset->records[0].power, 12);
    EXPECT_EQ(d.reset->records[1].history[0], 14);
    EXPECT_EQ(d.reset->records[1].history[12], 0);
    EXPECT_EQ(d.reset->noiseLevel, 0x20);
    EXPECT_EQ(d.reset->maxBitRate, 256);
}

TEST(FrameSections, FramesThatCannotBeReadAreRefused) {
    const Bytes good = concat({longReset(320, 0), hex("00 00 00 00 00"), jointZeros, thirdZeros});
    struct Case {
        const char* name;
        int version;
        std::uint8_t flags;
        Bytes sections;
        bool haveParameters;
    };
    const Case cases[] = {
        {"no reset packet seen yet", 1, 0x00, concat({hex("00 00 00 00 00"), jointZeros, thirdZeros}), false},
        {"a byte left over", 1, 0x40, concat({good, hex("00")}), false},
        {"cut inside the third stream", 1, 0x40, Bytes(good.begin(), good.end() - 1), false},
        {"cut inside the reset packet", 1, 0x40, Bytes(good.begin(), good.begin() + 20), false},
        {"version changed without reset", 2, 0x00, concat({hex("00 00 00 00 00"), jointZeros, thirdZeros}), true},
        {"Plus mode outside version 3", 1, 0x40, concat({hex("00 00 01 00 40"), Bytes(28, 0), hex("00 00 00 00 00"), jointZeros, thirdZeros}), false},
        {"RDS padding bits set", 1, 0x40, concat({longReset(320, 0), hex("01 00 00 FF"), jointZeros, thirdZeros}), false},
    };
    for (const Case& t : cases) {
        std::optional<StreamParameters> parameters;
        if (t.haveParameters) {
            ResetPacket reset;
            reset.bitRate = 320;
            parameters = parametersOf(1, reset);
        }
        EXPECT_THROW(decodeFrame(frameOf(t.version, t.flags, t.sections), parameters, 192000), std::out_of_range)
            << t.name;
    }
}
