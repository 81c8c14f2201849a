#include "logging/StdoutLogSink.h"

#include <cstdio>

namespace KestravaLogger {

void StdoutLogSink::writeLine(const char* line, std::size_t length) {
    std::fwrite(line, 1, length, stream);
    std::fflush(stream);
}

}  // namespace KestravaLogger
