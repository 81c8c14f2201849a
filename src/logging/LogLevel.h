#pragma once

#include <cstdint>

namespace KestravaLogger {

// Levels 0..5 are what callers log; 6..8 are record kinds the logging code makes itself.
enum LogLevel : std::int32_t {
    Debug = 0,
    Trace = 1,
    Info = 2,
    Warning = 3,
    Error = 4,
    Critical = 5,
    Shutdown = 6,    // asks the logger thread to end; never reaches a sink
    TraceBegin = 7,  // opens a replay of buffered trace records
    TraceEnd = 8,    // closes it
};

// The printed word of a level, as it stands in every log line ("    info", " warning",
// "--------Trace"); levels outside 0..8 give "    ????" so that a bad level never breaks a line.
const char* levelWord(std::int32_t level);

}  // namespace KestravaLogger
