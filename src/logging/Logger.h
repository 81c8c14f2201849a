#pragma once

#include "logging/LogLevel.h"
#include "logging/LogRecord.h"
#include "logging/LogSink.h"
#include "logging/LogSinker.h"
#include "logging/MessageFormat.h"
#include "platform/Clock.h"
#include "platform/NonCopyable.h"

#include <fmt/format.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string_view>
#include <thread>

namespace KestravaLogger {

// The one log of an instance. Any thread calls log(): the text is formatted on the caller's
// stack into a fixed record and pushed, without a lock and without allocating, onto a 256-record
// lock-free queue. One logger thread takes the records off in order and hands them to the sinks.
// A record that finds the queue full is dropped; producers never wait.
class Logger : kestrava::NonCopyable {
public:
    static constexpr std::size_t queueCapacity = 256;
    static constexpr int stopWaitMs = 2000;

    // Starts the logger thread; records are accepted only after enable().
    explicit Logger(const kestrava::SystemClock& clock = kestrava::realSystemClock());
    ~Logger();

    // Attaches a sink; only before enable(), while the logger thread dispatches nothing.
    void addSink(std::shared_ptr<LogSink> sink);
    void enable();
    bool isEnabled() const { return enabled.load(std::memory_order_relaxed); }

    // Formats with {fmt} (format checked at compile time) into 512 characters and queues it.
    // The channel is ignored (callers pass 1). A text of more than 510 characters is cut to 510.
    template <class... Args>
    void log(int channel, LogLevel level, fmt::format_string<Args...> format, const Args&... args) noexcept {
        (void)channel;
        if (!isEnabled()) return;
        char buffer[LogRecord::textSize];
        std::size_t n = 0;
        try {
            n = formatToBuffer(buffer, sizeof buffer, format, args...).count;
        } catch (...) {
            const fmt::string_view raw(format);
            n = copyRaw(buffer, std::string_view(raw.data(), raw.size()));
        }
        submit(level, buffer, n);
    }

    // A plain text, copied verbatim: braces in it are never taken as placeholders.
    void log(int channel, LogLevel level, std::string_view text) noexcept;

    // A format known only at run time; a format error logs the raw format text instead.
    void logRuntime(int channel, LogLevel level, std::string_view format, fmt::format_args args) noexcept;

    // Switches the logger off and ends its thread: waits up to 2000 ms for the thread to confirm,
    // then joins it. A thread held up in a sink for longer is let go; it owns what it uses, so it
    // never touches a destroyed Logger. Safe to call more than once.
    void stop();
    bool hasStopped() const;

private:
    struct Core;
    static std::size_t copyRaw(char* buffer, std::string_view text) noexcept;
    void submit(LogLevel level, char* buffer, std::size_t n) noexcept;

    std::atomic<bool> enabled{false};
    std::shared_ptr<Core> core;
    std::thread thread;
};

// Logs a warning with one C-string argument, as thread-join failures are reported.
void logWarning(Logger& logger, int channel, fmt::format_string<const char*> format, const char* text);

}  // namespace KestravaLogger
