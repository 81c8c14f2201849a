#pragma once

#include "logging/LogSink.h"

#include <cstdio>

namespace KestravaLogger {

// Prints each line to standard output (or another stream, such as standard error for a command
// whose standard output carries data) with one write and flushes at once, so that lines of the
// logger never interleave with other output of the process.
class StdoutLogSink : public LogSink {
public:
    explicit StdoutLogSink(std::FILE* stream = stdout) : stream(stream) {}
    void writeLine(const char* line, std::size_t length) override;
    void writeRecord(const LogRecord&) override {}
    bool wantsLine() const override { return true; }
    void flush() override {}

private:
    std::FILE* const stream;
};

}  // namespace KestravaLogger
