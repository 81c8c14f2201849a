#include "logging/Logger.h"

#include <boost/lockfree/policies.hpp>
#include <boost/lockfree/queue.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace KestravaLogger {

// What the logger thread uses, shared with it so that a thread let go by stop() never touches
// freed memory.
struct Logger::Core : LogSinker {
    explicit Core(const kestrava::SystemClock& c) : clock(c) {}

    const kestrava::SystemClock& clock;
    boost::lockfree::queue<LogRecord, boost::lockfree::capacity<Logger::queueCapacity>> queue;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> stopped{false};
    std::mutex wakeMutex;
    std::condition_variable wake;

    void run() {
        LogRecord record;
        for (;;) {
            // Producers never signal (that would cost them a lock): the thread polls every 100 ms.
            while (queue.empty()) {
                if (stopRequested.load()) return finish();
                std::unique_lock lock(wakeMutex);
                wake.wait_for(lock, std::chrono::milliseconds(100));
            }
            while (queue.pop(record)) {
                if (record.level == Shutdown) return finish();
                dispatch(record);
            }
            flushSinks();
        }
    }

    void finish() {
        flushSinks();
        {
            std::lock_guard lock(wakeMutex);
            stopped.store(true);
        }
        wake.notify_all();
    }
};

Logger::Logger(const kestrava::SystemClock& clock) : core(std::make_shared<Core>(clock)) {
    thread = std::thread([c = core] { c->run(); });
}

Logger::~Logger() {
    stop();
    // Records queued after the shutdown record are discarded with the core.
}

void Logger::addSink(std::shared_ptr<LogSink> sink) { core->addSink(std::move(sink)); }

void Logger::enable() { enabled.store(true); }

bool Logger::hasStopped() const { return core->stopped.load(); }

std::size_t Logger::copyRaw(char* buffer, std::string_view text) noexcept {
    const std::size_t n = std::min(text.size(), LogRecord::textSize);
    std::memcpy(buffer, text.data(), n);
    return text.size();
}

void Logger::submit(LogLevel level, char* buffer, std::size_t n) noexcept {
    constexpr std::size_t size = LogRecord::textSize;
    buffer[std::min(n, size - 2)] = '\n';
    buffer[std::min(n + 1, size - 1)] = '\0';
    const LogRecord record(level, buffer, core->clock.now100ns());
    core->queue.bounded_push(record);  // full: the record is dropped, the caller goes on
}

void Logger::log(int channel, LogLevel level, std::string_view text) noexcept {
    (void)channel;
    if (!isEnabled()) return;
    char buffer[LogRecord::textSize];
    submit(level, buffer, copyRaw(buffer, text));
}

void Logger::logRuntime(int channel, LogLevel level, std::string_view format, fmt::format_args args) noexcept {
    (void)channel;
    if (!isEnabled()) return;
    char buffer[LogRecord::textSize];
    std::size_t n = 0;
    try {
        n = fmt::vformat_to_n(buffer, sizeof buffer, format, args).size;
    } catch (...) {
        n = copyRaw(buffer, format);
    }
    submit(level, buffer, n);
}

void Logger::stop() {
    enabled.store(false);
    core->queue.bounded_push(LogRecord(Shutdown, "", core->clock.now100ns()));
    {
        std::lock_guard lock(core->wakeMutex);
        core->stopRequested.store(true);
    }
    core->wake.notify_all();
    if (!thread.joinable()) return;
    {
        std::unique_lock lock(core->wakeMutex);
        core->wake.wait_for(lock, std::chrono::milliseconds(stopWaitMs), [this] { return core->stopped.load(); });
    }
    if (core->stopped.load()) {
        thread.join();
    } else {
        thread.detach();
    }
}

void logWarning(Logger& logger, int channel, fmt::format_string<const char*> format, const char* text) {
    logger.log(channel, Warning, format, text);
}

}  // namespace KestravaLogger
