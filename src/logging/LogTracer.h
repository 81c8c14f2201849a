#pragma once

#include "logging/LogSink.h"
#include "logging/LogSinker.h"
#include "platform/Clock.h"

#include <vector>

namespace KestravaLogger {

// Keeps the last 512 trace records back and writes them to its own sinks only after a warning
// or worse, between "--------Trace" and "--------End trace", as the context of that record.
// Every other record passes straight through.
//
//   ring:  [ ... | oldest ... newest | writeIndex -> ... ]   count records before writeIndex
class LogTracer : public LogSink, public LogSinker {
public:
    static constexpr int ringSize = 512;

    // The clock is not read: the block's markers take the time of the record they follow.
    explicit LogTracer(const kestrava::SystemClock& clock = kestrava::realSystemClock());

    void writeLine(const char*, std::size_t) override {}
    void writeRecord(const LogRecord& record) override;
    bool wantsLine() const override { return false; }
    // Flushes the tracer's own sinks (the log file), so that each batch reaches the disk.
    void flush() override { flushSinks(); }

    int buffered() const { return count; }

private:
    std::vector<LogRecord> ring;
    int writeIndex = 0;
    int count = 0;
};

}  // namespace KestravaLogger
