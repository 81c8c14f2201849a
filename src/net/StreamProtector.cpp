#include "net/StreamProtector.h"

#include "logging/KestravaInstanceConfig.h"

#include <sodium.h>

#include <cstdio>
#include <cstdlib>

namespace kestrava::net {

namespace {

constexpr const char* decodeFailedText = "Failed to decode stream protection key, incorrect length";

// Wipes a copied key text before its memory goes back to the allocator.
void wipe(std::string& text) {
    if (!text.empty()) sodium_memzero(text.data(), text.size());
    text.clear();
}

}  // namespace

std::array<std::uint8_t, 256> buildCrc8Table(std::uint8_t polynomial) {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned reg = b;
        for (int bit = 0; bit < 8; ++bit) reg = (reg & 0x80u) != 0 ? ((reg << 1) ^ polynomial) & 0xFFu : (reg << 1) & 0xFFu;
        table[b] = static_cast<std::uint8_t>(reg);
    }
    return table;
}

void initialiseSodiumOrExit(KestravaInstanceConfig* config) {
    if (sodium_init() < 0) {
        // Without a working random source no key and no session id can be trusted.
        config->logger.log(1, KestravaLogger::Critical, "Failed to initialize sodium - cannot proceed!");
        std::fprintf(stderr, "Failed to initialize sodium - cannot proceed!\n");
        std::exit(1);
    }
}

StreamProtector::StreamProtector(KestravaInstanceConfig* config_)
    : config(config_), table(buildCrc8Table(crcParameters.polynomial)) {
    initialiseSodiumOrExit(config);
    randombytes_buf(activeKey.data(), activeKey.size());
    randombytes_buf(pendingKey.data(), pendingKey.size());
    loadKeys();
}

StreamProtector::~StreamProtector() {
    sodium_memzero(activeKey.data(), activeKey.size());
    sodium_memzero(pendingKey.data(), pendingKey.size());
}

std::uint8_t StreamProtector::crc8(const std::uint8_t* data, std::size_t n) const {
    std::uint8_t reg = crcParameters.initialValue;
    for (std::size_t i = 0; i < n; ++i) reg = table[reg ^ data[i]];
    return static_cast<std::uint8_t>(reg ^ crcParameters.finalXor);
}

bool StreamProtector::decodeKey(const std::string& text, Key& key, bool quiet) const {
    Key decoded{};
    std::size_t length = 0;
    // No characters to skip: anything but hex digits, an odd count or more than 32 digits fails.
    const bool ok = sodium_hex2bin(decoded.data(), decoded.size(), text.data(), text.size(), nullptr, &length,
                                   nullptr) == 0 &&
                    length == keySize;
    if (ok) key = decoded;
    sodium_memzero(decoded.data(), decoded.size());
    if (!ok && !quiet) {
        config->statusMessages.postStatusText(StatusWarning, decodeFailedText);
        config->logger.log(1, KestravaLogger::Critical, decodeFailedText);
    }
    return ok;
}

bool StreamProtector::isValidKey(const std::string& text) const {
    if (text.empty()) return false;
    Key scratch{};
    const bool ok = decodeKey(text, scratch);
    sodium_memzero(scratch.data(), scratch.size());
    return ok;
}

bool StreamProtector::loadKeys(bool reportFailures) {
    ready = false;
    std::string active = config->engine.getText(EngineSettings::TextStreamKey1);
    // Only a decoded active key makes the protector ready: a pending key is never used to
    // encrypt until it has become the active one.
    if (!active.empty() && decodeKey(active, activeKey, !reportFailures)) ready = true;
    wipe(active);
    std::string pending = config->engine.getText(EngineSettings::TextStreamKey2);
    if (!pending.empty()) decodeKey(pending, pendingKey, !reportFailures);
    wipe(pending);
    installKey();
    return ready;
}

}  // namespace kestrava::net
