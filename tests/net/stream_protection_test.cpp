#include "NetTestConfig.h"
#include "net/SenderSlot.h"
#include "net/StreamEncryptor.h"
#include "net/StreamKeyEntry.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using kestrava::net::SenderSlot;
using kestrava::net::StreamEncryptor;
using kestrava::net::StreamProtector;

namespace {

const std::string keyText = "000102030405060708090a0b0c0d0e0f";
const std::string otherKeyText = "F0E1D2C3B4A5968778695A4B3C2D1E0F";

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

// Protects a copy of the packet in a full slot-sized buffer; returns the bytes to send.
std::vector<std::uint8_t> protect(StreamEncryptor& encryptor, const std::vector<std::uint8_t>& packet) {
    std::vector<std::uint8_t> buffer(SenderSlot::capacity, 0);
    std::copy(packet.begin(), packet.end(), buffer.begin());
    const std::uint32_t n = encryptor.protect(buffer.data(), static_cast<std::uint32_t>(packet.size()), SenderSlot::capacity);
    buffer.resize(n);
    return buffer;
}

std::string hex(const std::vector<std::uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : data) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

struct ProtectionFixture : testing::Test {
    void enable(const std::string& activeKey) {
        c.config.engine.setText(EngineSettings::TextStreamKey1, activeKey);
        c.config.engine.streamProtection = true;
    }
    nettest::CapturedConfig c;
};

}  // namespace

TEST(Crc8, TableMatchesTheBitwiseDefinitionAndTheCheckValue) {
    const auto table = kestrava::net::buildCrc8Table(0x07);
    EXPECT_EQ(table[0x01], 0x07);
    EXPECT_EQ(table[0x80], 0x89);
    EXPECT_EQ(table[0xFF], 0xF3);
    // Each entry is the CRC of its one byte, computed here bit by bit, MSB first.
    for (int b = 0; b < 256; ++b) {
        unsigned reg = 0;
        for (int bit = 7; bit >= 0; --bit) {
            const unsigned in = (static_cast<unsigned>(b) >> bit) & 1u;
            const unsigned top = (reg >> 7) & 1u;
            reg = (reg << 1) & 0xFFu;
            if (top ^ in) reg ^= 0x07u;
        }
        EXPECT_EQ(table[b], reg) << "entry " << b;
    }
    nettest::CapturedConfig c;
    StreamProtector protector(&c.config);
    const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(protector.crc8(digits, sizeof digits), 0xF4);
    EXPECT_EQ(protector.crc8(digits, 0), 0x00);
}

TEST_F(ProtectionFixture, ShortPacketsGetTheCheckByteAndStayPlain) {
    enable(keyText);
    StreamEncryptor encryptor(&c.config);
    EXPECT_EQ(protect(encryptor, bytes({0x03, 0x61, 0x62})), bytes({0x03, 0xC9, 0x61, 0x62}));
    EXPECT_EQ(protect(encryptor, bytes({0x05})), bytes({0x05, 0x00}));
    std::vector<std::uint8_t> digits = bytes({0x07, '1', '2', '3', '4', '5', '6', '7', '8', '9'});
    const auto out = protect(encryptor, digits);
    ASSERT_EQ(out.size(), digits.size() + 1);
    EXPECT_EQ(out[1], 0xF4);
}

TEST_F(ProtectionFixture, WholeBlocksAfterTheVersionByteAreEncryptedAndTheTailStaysPlain) {
    enable(keyText);
    StreamEncryptor encryptor(&c.config);
    const struct {
        std::size_t n;
        std::size_t encrypted;
    } cases[] = {{15, 0}, {16, 16}, {17, 16}, {31, 16}, {32, 32}, {2047, 2032}};
    std::mt19937 random(1234);
    for (const auto& k : cases) {
        std::vector<std::uint8_t> packet(k.n);
        for (auto& b : packet) b = static_cast<std::uint8_t>(random());
        const auto out = protect(encryptor, packet);
        ASSERT_EQ(out.size(), k.n + 1) << "n " << k.n;
        EXPECT_EQ(out[0], packet[0]) << "n " << k.n;
        // The plain form would be: version, check byte, payload. Past the encrypted blocks the
        // output must equal it; inside them it must not (a block left plain is caught).
        std::vector<std::uint8_t> plain{packet[0], encryptor.crc8(packet.data() + 1, k.n - 1)};
        plain.insert(plain.end(), packet.begin() + 1, packet.end());
        EXPECT_TRUE(std::equal(out.begin() + 1 + k.encrypted, out.end(), plain.begin() + 1 + k.encrypted)) << "n " << k.n;
        for (std::size_t block = 0; block < k.encrypted / 16; ++block) {
            EXPECT_FALSE(std::equal(out.begin() + 1 + 16 * block, out.begin() + 17 + 16 * block, plain.begin() + 1 + 16 * block))
                << "n " << k.n << " block " << block;
        }
    }
}

TEST_F(ProtectionFixture, TwoHundredRandomPacketsDecryptWithAnIndependentAes) {
    enable(keyText);
    StreamEncryptor encryptor(&c.config);
    kestrava::test::TempDir dir;
    const std::string path = dir.str() + "/packets.txt";
    std::ofstream file(path);
    file << keyText << "\n";
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> length(1, 2047);
    for (int i = 0; i < 200; ++i) {
        // The first packets cover the block boundaries; the rest are random lengths.
        static const int fixed[] = {1, 15, 16, 17, 33, 2047};
        const int n = i < 6 ? fixed[i] : length(random);
        std::vector<std::uint8_t> packet(static_cast<std::size_t>(n));
        for (auto& b : packet) b = static_cast<std::uint8_t>(random());
        file << hex(packet) << " " << hex(protect(encryptor, packet)) << "\n";
    }
    file.close();
    const std::string command = std::string("python3 ") + KESTRAVA_NET_TEST_DIR + "/check_protected.py " + path;
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << command;
    if (WEXITSTATUS(status) == 3 || WEXITSTATUS(status) == 127) {
        GTEST_SKIP() << "python3 with the cryptography module is needed for the independent AES check";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << command;
}

TEST_F(ProtectionFixture, ProtectionOffLeavesPacketsUntouched) {
    c.config.engine.setText(EngineSettings::TextStreamKey1, keyText);
    StreamEncryptor encryptor(&c.config);
    const auto packet = bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    EXPECT_EQ(protect(encryptor, packet), packet);
}

TEST_F(ProtectionFixture, NoValidKeyDropsEveryPacketAndWarnsOnce) {
    c.config.engine.streamProtection = true;
    StreamEncryptor encryptor(&c.config);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(protect(encryptor, bytes({1, 2, 3})).empty());
    c.config.engine.setText(EngineSettings::TextStreamKey2, keyText);
    EXPECT_EQ(protect(encryptor, bytes({0x03, 0x61, 0x62})), bytes({0x03, 0xC9, 0x61, 0x62}));
    c.settleLog();
    EXPECT_EQ(c.log->count("Stream protection is on but no valid stream key is loaded"), 1u);
}

TEST_F(ProtectionFixture, ABadPendingKeyNeverReplacesTheGoodActiveKey) {
    enable(keyText);
    StreamEncryptor encryptor(&c.config);
    std::vector<std::uint8_t> packet(40, 0x5A);
    const auto before = protect(encryptor, packet);
    c.config.engine.setText(EngineSettings::TextStreamKey2, "not a key");
    EXPECT_EQ(protect(encryptor, packet), before);
    EXPECT_EQ(protect(encryptor, packet), before);
    EXPECT_EQ(c.config.engine.getText(EngineSettings::TextStreamKey1), keyText);
    EXPECT_EQ(c.config.engine.getText(EngineSettings::TextStreamKey2), "");
    c.settleLog();
    EXPECT_EQ(c.log->count("Failed to decode stream protection key, incorrect length"), 1u);
    // A good pending key is taken up at the next packet and becomes the active text.
    c.config.engine.setText(EngineSettings::TextStreamKey2, otherKeyText);
    EXPECT_NE(protect(encryptor, packet), before);
    EXPECT_EQ(c.config.engine.getText(EngineSettings::TextStreamKey1), otherKeyText);
}

TEST_F(ProtectionFixture, AFullSlotPacketIsDroppedNotSentInClear) {
    enable(keyText);
    StreamEncryptor encryptor(&c.config);
    std::vector<std::uint8_t> packet(SenderSlot::capacity, 0x11);
    EXPECT_TRUE(protect(encryptor, packet).empty());
    EXPECT_EQ(protect(encryptor, std::vector<std::uint8_t>(SenderSlot::capacity - 1, 0x11)).size(), SenderSlot::capacity);
    c.settleLog();
    EXPECT_EQ(c.log->count("Packet of 2048 bytes too long for stream protection, dropped"), 1u);
}

TEST_F(ProtectionFixture, KeyTextsMustBeExactly32HexDigits) {
    StreamProtector protector(&c.config);
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", true},
        {"000102030405060708090A0B0C0D0E0F", true},
        {"000102030405060708090a0B0c0D0e0F", true},
        {"000102030405060708090a0b0c0d0e0", false},    // 31 digits
        {"000102030405060708090a0b0c0d0e0f0", false},  // 33 digits
        {"0001020304050607 8090a0b0c0d0e0f", false},   // a space
        {"0x0102030405060708090a0b0c0d0e0f", false},   // a prefix
        {"000102030405060708090a0b0c0d0e0g", false},   // a letter beyond f
        {"000102030405060708090a0b0c0d0e0f\n", false},
    };
    int invalid = 0;
    for (const auto& k : cases) {
        EXPECT_EQ(protector.isValidKey(k.text), k.valid) << k.text;
        invalid += k.valid ? 0 : 1;
    }
    EXPECT_FALSE(protector.isValidKey(""));  // empty: invalid without a message
    StreamProtector::Key lower{}, upper{};
    ASSERT_TRUE(protector.decodeKey("abcdef0123456789abcdef0123456789", lower));
    ASSERT_TRUE(protector.decodeKey("ABCDEF0123456789ABCDEF0123456789", upper));
    EXPECT_EQ(lower[0], 0xAB);
    EXPECT_EQ(lower[15], 0x89);
    EXPECT_EQ(upper, lower);
    c.settleLog();
    EXPECT_EQ(c.log->count("Failed to decode stream protection key, incorrect length"), static_cast<std::size_t>(invalid));
    EXPECT_EQ(c.statusTexts().size(), static_cast<std::size_t>(invalid));
}

TEST_F(ProtectionFixture, AnOfferedKeyBecomesThePendingKeyOnlyWhenValid) {
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {
        {"", false},
        {"000102030405060708090a0b0c0d0e0", false},
        {"0001020304050607 8090a0b0c0d0e0f", false},
        {"000102030405060708090a0b0c0d0e0g", false},
        {"000102030405060708090A0B0C0D0E0F", true},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(kestrava::net::offerStreamKey(&c.config, k.text), k.accepted) << k.text;
        EXPECT_EQ(c.config.engine.getText(EngineSettings::TextStreamKey2), k.accepted ? k.text : "") << k.text;
    }
    c.settleLog();
    // The empty text says nothing; the three bad ones are reported once each.
    EXPECT_EQ(c.log->count("Failed to decode stream protection key, incorrect length"), 3u);
    // The accepted text keeps its case and encrypts like the lower-case key at the next packet.
    c.config.engine.streamProtection = true;
    StreamEncryptor encryptor(&c.config);
    const auto packet = std::vector<std::uint8_t>(40, 0x33);
    const auto upper = protect(encryptor, packet);
    c.config.engine.setText(EngineSettings::TextStreamKey2, keyText);
    EXPECT_EQ(protect(encryptor, packet), upper);
    EXPECT_EQ(c.config.engine.getText(EngineSettings::TextStreamKey1), keyText);
}
