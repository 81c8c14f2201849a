#pragma once

#include "logging/LogSink.h"

namespace KestravaLogger {

// Prints each line to standard output with one write and flushes at once, so that lines of the
// logger never interleave with other output of the process.
class StdoutLogSink : public LogSink {
public:
    void writeLine(const char* line, std::size_t length) override;
    void writeRecord(const LogRecord&) override {}
    bool wantsLine() const override { return true; }
    void flush() override {}
};

}  // namespace KestravaLogger
