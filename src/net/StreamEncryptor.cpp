#include "net/StreamEncryptor.h"

#include "logging/KestravaInstanceConfig.h"
#include "platform/Clock.h"

#include <sodium.h>

#include <cstring>
#include <string>

namespace kestrava::net {

namespace {
// While no valid key is loaded, the key texts are tried again at most this often, so that a
// steady packet flow does not decode (and allocate) for every packet.
constexpr std::int64_t keyRetryIntervalNs = 1'000'000'000;
}  // namespace

// The base constructor's loadKeys() runs before this object exists and so keys nothing
// (virtual calls in a base constructor reach the base); the cipher is keyed here.
StreamEncryptor::StreamEncryptor(KestravaInstanceConfig* config) : StreamProtector(config) { installKey(); }

// The cipher's key schedule sits in the library's secure blocks, which wipe themselves; the key
// copies are wiped by the base destructor.
StreamEncryptor::~StreamEncryptor() = default;

void StreamEncryptor::installKey() { encryptor.SetKey(activeKey.data(), activeKey.size()); }

void StreamEncryptor::takePendingKey() {
    // The common case, no pending key, costs one short lock and no allocation.
    if (config->engine.getText(EngineSettings::TextStreamKey2).empty()) return;
    std::string pending = config->engine.exchangeText(EngineSettings::TextStreamKey2, "");
    if (pending.empty()) return;
    Key decoded{};
    // A pending text that does not decode is reported and dropped; the good active key stays.
    if (decodeKey(pending, decoded)) {
        config->engine.setText(EngineSettings::TextStreamKey1, pending);
        activeKey = decoded;
        ready = true;
        installKey();
    }
    sodium_memzero(decoded.data(), decoded.size());
    sodium_memzero(pending.data(), pending.size());
}

void StreamEncryptor::reportDrop(std::int64_t nowNs, bool noKey, std::uint32_t length) {
    if (noKey) {
        if (noKeyReported) return;
        noKeyReported = true;
        const char* text = "Stream protection is on but no valid stream key is loaded: packets are not sent";
        config->statusMessages.postStatusText(StatusWarning, text);
        config->logger.log(1, KestravaLogger::Critical, text);
        return;
    }
    std::uint32_t suppressed = 0;
    if (!tooLongThrottle.shouldReport(nowNs, suppressed)) return;
    config->logger.log(1, KestravaLogger::Error,
                       "Packet of {} bytes too long for stream protection, dropped ({} more since last report)",
                       length, suppressed);
}

std::uint32_t StreamEncryptor::protect(std::uint8_t* data, std::uint32_t length, std::uint32_t capacity) {
    if (!config->engine.streamProtection.load()) return length;
    takePendingKey();
    const std::int64_t now = kestrava::steadyNowNs();
    if (!ready && (lastLoadAttemptNs == 0 || now - lastLoadAttemptNs >= keyRetryIntervalNs)) {
        lastLoadAttemptNs = now;
        loadKeys(!noKeyReported);
    }
    if (!ready) {
        reportDrop(now, true, length);
        return 0;
    }
    if (noKeyReported) {
        noKeyReported = false;
        config->logger.log(1, KestravaLogger::Info, "Stream protection key loaded, packets are sent again");
    }
    if (length == 0) return 0;
    if (length >= capacity) {
        reportDrop(now, false, length);
        return 0;
    }
    const std::uint8_t check = crc8(data + 1, length - 1);
    std::memmove(data + 2, data + 1, length - 1);
    data[1] = check;
    const std::uint32_t encrypted = length & ~15u;
    for (std::uint32_t offset = 1; offset + 16 <= 1 + encrypted; offset += 16) encryptor.ProcessBlock(data + offset);
    return length + 1;
}

}  // namespace kestrava::net
