#pragma once

#include "platform/NonCopyable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class KestravaInstanceConfig;

namespace kestrava::net {

// Stream key handling and the CRC-8 check byte of protected packets. The key texts come from the
// engine settings: text 1 is the active key, text 2 a pending key handed over by the settings side.
// A key text is exactly 32 hexadecimal digits (either case), first byte first. Key bytes are wiped
// when the object goes away.
class StreamProtector : kestrava::NonCopyable {
public:
    static constexpr std::size_t keySize = 16;
    using Key = std::array<std::uint8_t, keySize>;

    // CRC-8: polynomial 0x07, initial value 0, no reflection, no final XOR.
    struct CrcParameters {
        std::uint8_t polynomial = 0x07;
        std::uint8_t initialValue = 0x00;
        std::uint8_t finalXor = 0x00;
        bool reflectInput = false;
        bool reflectOutput = false;
    };

    // Initialises libsodium (the process ends with status 1 when that fails), starts both keys
    // as random bytes and loads the key texts the engine holds now.
    explicit StreamProtector(KestravaInstanceConfig* config);
    virtual ~StreamProtector();

    // Decodes the active and the pending key text (empty ones are skipped quietly), then keys the
    // cipher. True when at least one text decoded. With reportFailures false a bad text is not
    // posted or logged (the caller reports the outcome itself).
    bool loadKeys(bool reportFailures = true);

    // True when the text is exactly 32 hexadecimal digits; the bytes are then in `key`. A failure
    // posts and logs "Failed to decode stream protection key, incorrect length" unless quiet.
    bool decodeKey(const std::string& text, Key& key, bool quiet = false) const;
    // An empty text is invalid without a message; anything else is checked by decodeKey.
    bool isValidKey(const std::string& text) const;

    bool isReady() const { return ready; }
    const std::array<std::uint8_t, 256>& crcTable() const { return table; }
    // The check byte over n bytes.
    std::uint8_t crc8(const std::uint8_t* data, std::size_t n) const;

protected:
    // Makes activeKey the cipher key; nothing in a protector that only checks keys.
    virtual void installKey() {}

    KestravaInstanceConfig* const config;
    bool ready = false;
    Key activeKey{};
    Key pendingKey{};

private:
    const CrcParameters crcParameters{};
    std::array<std::uint8_t, 256> table{};
};

// The CRC table of a CRC-8 without reflection, built bit by bit from the polynomial.
std::array<std::uint8_t, 256> buildCrc8Table(std::uint8_t polynomial);

// Ends the process when libsodium cannot be initialised; logs through the config first.
void initialiseSodiumOrExit(KestravaInstanceConfig* config);

}  // namespace kestrava::net
