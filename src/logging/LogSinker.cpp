#include "logging/LogSinker.h"

#include "platform/Clock.h"

#include <fmt/format.h>

#include <algorithm>

namespace KestravaLogger {

void LogSinker::addSink(std::shared_ptr<LogSink> sink) {
    if (sink) sinks.push_back(std::move(sink));
}

void LogSinker::dispatch(const LogRecord& record) {
    const char* formatted = nullptr;
    std::size_t length = 0;
    for (const auto& sink : sinks) {
        if (record.level < sink->minLevel) continue;
        if (sink->wantsLine()) {
            if (formatted == nullptr) formatted = formatLogLine(record, length);
            sink->writeLine(formatted, length);
        } else {
            sink->writeRecord(record);
        }
    }
}

void LogSinker::flushSinks() {
    for (const auto& sink : sinks) sink->flush();
}

const char* LogSinker::formatLogLine(const LogRecord& record, std::size_t& length) {
    constexpr std::size_t size = sizeof line;
    const std::int64_t seconds = record.time / kestrava::ticksPerSecond;
    const int millis = static_cast<int>((record.time / 10'000) % 1000);
    const kestrava::LocalTime t = kestrava::toLocalTime(seconds);
    const auto result = fmt::format_to_n(line, size, "{:d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}.{:03d} {}: {}",
                                         t.year, t.month, t.day, t.hour, t.minute, t.second, millis,
                                         levelWord(record.level), record.text);
    const std::size_t n = result.size;
    std::size_t count = n;
    if (n == 0 || line[std::min(n - 1, size - 2)] != '\n') {
        line[std::min(n, size - 2)] = '\n';
        count = n + 1;
    }
    const std::size_t end = std::min(count, size - 1);
    line[end] = '\0';
    length = end;
    return line;
}

}  // namespace KestravaLogger
