#pragma once

#include <optional>
#include <string>
#include <string_view>

class KestravaInstanceConfig;

namespace kestrava::model {

// The stream key from a password: Argon2i (version 1.3) with 4 passes over 32 MiB and a fixed
// 16-byte salt, 16 bytes out, written as 32 lower-case hex digits. The same password always gives
// the same key, so every site that knows the password can derive it. An empty password is a
// password like any other.
class StreamKeyDerivation {
public:
    static constexpr unsigned long long opsLimit = 4;
    static constexpr std::size_t memLimit = 33'554'432;
    static constexpr std::size_t keyBytes = 16;
    static constexpr std::size_t saltBytes = 16;
    static const unsigned char salt[saltBytes];

    // The key text, or nothing when the library refuses (out of memory).
    static std::optional<std::string> derive(std::string_view password);

    // "Password to hash": derives the key and makes it the engine's pending key text. The key
    // itself is neither posted nor logged: it is shown in the "Active hash" row, which only
    // account administrators see. Failures are posted and logged at error level.
    static std::optional<std::string> deriveForEngine(std::string_view password, KestravaInstanceConfig& config);
};

}  // namespace kestrava::model
