#pragma once

#include "logging/LogRecord.h"
#include "logging/LogSink.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace KestravaLogger {

// A list of sinks with its own line buffer. Runs only on the logger thread, so needs no lock.
class LogSinker {
public:
    virtual ~LogSinker() = default;

    void addSink(std::shared_ptr<LogSink> sink);
    // Offers the record to every sink in list order; the line is formatted at most once.
    void dispatch(const LogRecord& record);
    // Flushes every sink of the list.
    void flushSinks();

    // "{:d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}.{:03d} {}: {}" in local time of the record's own
    // time stamp, cut to 510 characters before its line end. Returns the buffer; length excludes NUL.
    const char* formatLogLine(const LogRecord& record, std::size_t& length);

private:
    std::vector<std::shared_ptr<LogSink>> sinks;
    char line[LogRecord::textSize] = {};
};

}  // namespace KestravaLogger
