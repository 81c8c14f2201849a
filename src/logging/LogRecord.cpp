#include "logging/LogRecord.h"

#include "platform/Clock.h"

#include <cstring>

namespace KestravaLogger {

LogRecord::LogRecord() : level(Debug), valid(1), text{}, time(kestrava::systemNow100ns()) {}

LogRecord::LogRecord(LogLevel level_, const char* text_, std::int64_t time_)
    : level(level_), valid(1), text{}, time(time_) {
    if (text_ != nullptr) {
        std::size_t n = strnlen(text_, textSize - 1);
        std::memcpy(text, text_, n);
        text[n] = '\0';
    }
}

}  // namespace KestravaLogger
