#include "model/StreamKeyDerivation.h"

#include "logging/KestravaInstanceConfig.h"

#include <sodium.h>

#include <array>

namespace kestrava::model {

const unsigned char StreamKeyDerivation::salt[saltBytes] = {0x5a, 0x19, 0xc0, 0xb8, 0xe6, 0x34, 0x7d, 0x2f,
                                                            0x90, 0xa1, 0xc5, 0xe8, 0xb2, 0xd6, 0x4f, 0x07};

std::optional<std::string> StreamKeyDerivation::derive(std::string_view password) {
    if (sodium_init() < 0) return std::nullopt;
    std::array<unsigned char, keyBytes> key{};
    // libsodium wants a non-null pointer even for an empty password.
    const char* bytes = password.empty() ? "" : password.data();
    if (crypto_pwhash(key.data(), key.size(), bytes, password.size(), salt, opsLimit, memLimit,
                      crypto_pwhash_ALG_ARGON2I13) != 0) {
        return std::nullopt;
    }
    std::array<char, keyBytes * 2 + 1> hex{};
    sodium_bin2hex(hex.data(), hex.size(), key.data(), key.size());
    sodium_memzero(key.data(), key.size());
    return std::string(hex.data(), keyBytes * 2);
}

std::optional<std::string> StreamKeyDerivation::deriveForEngine(std::string_view password,
                                                                KestravaInstanceConfig& config) {
    std::optional<std::string> key = derive(password);
    if (!key) {
        static constexpr const char* failed = "Failed to derive key from password";
        config.statusMessages.postStatusText(StatusError, failed);
        config.logger.log(1, KestravaLogger::Error, std::string_view(failed));
        return std::nullopt;
    }
    config.statusMessages.postTimedStatusMessage(
        StatusInfo, 0,
        "New authentication key set from the password; it is shown in \"Active hash\".\nSet this key on your server "
        "and all your clients so that they can authenticate the stream.\n");
    config.logger.log(1, KestravaLogger::Info, std::string_view("Stream key derived from a password"));
    config.engine.setText(EngineSettings::TextStreamKey2, *key);
    return key;
}

}  // namespace kestrava::model
