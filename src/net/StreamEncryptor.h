#pragma once

#include "platform/MessageThrottle.h"
#include "net/StreamProtector.h"

#include <cryptopp/aes.h>

#include <cstdint>

namespace kestrava::net {

// Protects outgoing packets in place: the CRC-8 check byte goes in as byte 1 (the version byte
// stays first and plain), then every whole 16-byte block after byte 0 is encrypted with AES-128
// (ECB, no padding); the remaining tail stays plain.
//
//   in : | v | p1 p2 ... pN-1 |
//   out: | v | crc p1 ... pN-1 |      N+1 bytes
//            '-- 16*floor(N/16) bytes encrypted, block by block --'
//
// Used only by the send thread. Protection fails closed: while it is on and no valid key is
// loaded, packets are dropped (one warning per outage), never sent in clear.
class StreamEncryptor final : public StreamProtector {
public:
    explicit StreamEncryptor(KestravaInstanceConfig* config);
    ~StreamEncryptor() override;

    // Returns the number of bytes to send: `length` when protection is off (packet untouched),
    // length + 1 when protected, 0 when the packet must not be sent (protection on without a
    // valid key, an empty packet, or no room for the check byte within `capacity`).
    std::uint32_t protect(std::uint8_t* data, std::uint32_t length, std::uint32_t capacity);

private:
    void installKey() override;
    void takePendingKey();
    void reportDrop(std::int64_t nowNs, bool noKey, std::uint32_t length);

    CryptoPP::AES::Encryption encryptor;
    bool noKeyReported = false;
    std::int64_t lastLoadAttemptNs = 0;
    kestrava::platform::MessageThrottle tooLongThrottle;
};

}  // namespace kestrava::net
