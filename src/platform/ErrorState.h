#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The process-wide error state: 0 nothing happened, 1 a not-a-number value was seen, 2 the web
// request handler recorded a notice, 3 a guarded task crashed or start-up found a fatal problem.
// The text belongs to the last change; the crash report prints it on standard error.
namespace ErrorState {

inline constexpr std::int32_t Normal = 0;
inline constexpr std::int32_t SawNan = 1;
inline constexpr std::int32_t WebNotice = 2;
inline constexpr std::int32_t Crashed = 3;
inline constexpr std::size_t textSize = 1024;

extern std::atomic<std::int32_t> errorState;
extern std::atomic<bool> crashFlag;
// At most 1023 characters and a NUL in the last byte; written without a lock, as two reports at
// the same moment may mix (each is printed whole on its own).
extern char errorText[textSize];

// State 0, flag clear, all 1024 bytes of the text zero.
void reset();
// State 3 and the crash flag.
void markCrashed();
// Copies the text cut to 1023 characters, zero-filling the rest, and sets the state.
void record(std::int32_t state, std::string_view text);

}  // namespace ErrorState
