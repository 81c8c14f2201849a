#pragma once

#include <cstdint>

enum StatusMessageType : std::int32_t {
    StatusInfo = 0,
    StatusNotice = 1,
    StatusError = 2,
    StatusWarning = 3,
    StatusEmpty = 4,  // marks a ring slot that holds no message; never posted
};

// Keys that name messages a later message replaces (0: no key).
namespace StatusKey {
inline constexpr std::int32_t None = 0;
inline constexpr std::int32_t ReceptionLost = 1;
inline constexpr std::int32_t StreamBack = 2;
inline constexpr std::int32_t InputLevel = 6;
inline constexpr std::int32_t VersionMismatch = 9;
inline constexpr std::int32_t lossSegment(std::int32_t number) { return number + 3; }
}  // namespace StatusKey

// A user-visible message: a failure, a changed condition of the input or the stream, a hint.
struct StatusMessage {
    static constexpr int textSize = 1024;

    std::int32_t type = StatusWarning;
    std::int32_t key = StatusKey::None;
    char text[textSize] = {};  // NUL-terminated, at most 1023 characters
};
