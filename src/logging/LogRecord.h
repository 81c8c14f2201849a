#pragma once

#include "logging/LogLevel.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace KestravaLogger {

// One log entry, copied by value into the queue, out of it and into the trace ring.
struct LogRecord {
    static constexpr std::size_t textSize = 512;

    LogLevel level;
    std::uint8_t valid;
    char text[textSize];  // NUL-terminated; texts from Logger::log end with "\n"
    std::int64_t time;    // 100 ns units since 1970-01-01 UTC

    // Level debug, empty text, the current time.
    LogRecord();
    // Copies at most 511 characters of the text and always ends it with a NUL.
    LogRecord(LogLevel level, const char* text, std::int64_t time);
};

static_assert(sizeof(LogRecord) == 528, "a log record is 528 bytes");
static_assert(std::is_trivially_copyable_v<LogRecord> && std::is_trivially_destructible_v<LogRecord>,
              "log records pass through a lock-free queue by plain copy");

}  // namespace KestravaLogger
