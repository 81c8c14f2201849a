#pragma once

#include "logging/LogLevel.h"
#include "logging/LogRecord.h"

#include <cstddef>

namespace KestravaLogger {

// A destination of log lines. A record is offered to a sink only when its level is at least
// minLevel; a sink takes either the formatted line or the record itself.
class LogSink {
public:
    virtual ~LogSink() = default;
    // One formatted line, NUL-terminated and ending with "\n"; length excludes the NUL.
    virtual void writeLine(const char* line, std::size_t length) = 0;
    virtual void writeRecord(const LogRecord& record) = 0;
    virtual bool wantsLine() const = 0;
    virtual void flush() = 0;

    LogLevel minLevel = Debug;
};

}  // namespace KestravaLogger
