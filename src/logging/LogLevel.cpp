#include "logging/LogLevel.h"

namespace KestravaLogger {

const char* levelWord(std::int32_t level) {
    static constexpr const char* words[] = {
        "   debug", "   trace", "    info", " warning", "   error", "critical",
        "--------Shutdown", "--------Trace", "--------End trace",
    };
    if (level < 0 || level > 8) return "    ????";
    return words[level];
}

}  // namespace KestravaLogger
