#include "codec/entropy/BitWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

using kestrava::codec::entropy::BitWriter;

TEST(BitWriter, ByteBoundaryIsCrossedOnlyByTheNextBitWhichZeroesItsByteFirst) {
    std::array<std::uint8_t, 4> buffer;
    buffer.fill(0xFF);
    BitWriter w;
    w.reset(buffer.data());
    w.writeBits(buffer.data(), 0xA5, 8);
    EXPECT_EQ(w.byteIndex, 0);
    EXPECT_EQ(w.bitCount, 8);
    EXPECT_EQ(w.byteCount(), 1u);
    EXPECT_EQ(buffer[1], 0xFF) << "byte 1 is not touched before a bit goes there";
    w.writeBits(buffer.data(), 1, 1);
    EXPECT_EQ(buffer[0], 0xA5);
    EXPECT_EQ(buffer[1], 0x80);
    EXPECT_EQ(w.byteCount(), 2u);
    w.writeBits(buffer.data(), 0xFFFF, 0);  // width 0 writes nothing
    w.writeBits(buffer.data(), 0xF2, 3);    // bits above the width are ignored
    EXPECT_EQ(buffer[1], 0xA0);
    EXPECT_EQ(buffer[2], 0xFF);
}

TEST(BitWriter, A64BitFieldAtBitThreeSpansNineBytes) {
    std::array<std::uint8_t, 11> buffer;
    buffer.fill(0xEE);
    BitWriter w;
    w.reset(buffer.data());
    w.writeBits(buffer.data(), 0b101, 3);
    w.writeBits(buffer.data(), 0x8123456789ABCDEFull, 64);
    EXPECT_EQ(w.byteCount(), 9u);
    // 101 then the field: 101 1000 0001 0010 ... 1110 1111
    const std::array<std::uint8_t, 9> expected = {0xB0, 0x24, 0x68, 0xAC, 0xF1, 0x35, 0x79, 0xBD, 0xE0};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(buffer[i], expected[i]) << i;
    EXPECT_EQ(buffer[9], 0xEE);
}

TEST(BitWriter, HasRoomRefusesAFieldEndingOnTheLastBit) {
    BitWriter w;
    w.byteIndex = 8;
    w.bitCount = 8;  // 72 bits written
    EXPECT_TRUE(w.hasRoom(7, 10));
    EXPECT_FALSE(w.hasRoom(8, 10));
    EXPECT_FALSE(w.hasRoom(0, 0));
}
