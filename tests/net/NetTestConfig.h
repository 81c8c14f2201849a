#pragma once

#include "logging/KestravaInstanceConfig.h"
#include "logging/LogSink.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace nettest {

// Keeps every log text (without its line end) so that tests can wait for and count messages.
class LogCapture final : public KestravaLogger::LogSink {
public:
    void writeLine(const char*, std::size_t) override {}
    void writeRecord(const KestravaLogger::LogRecord& record) override {
        std::string text = record.text;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        std::lock_guard lock(mutex);
        texts.push_back(std::move(text));
        changed.notify_all();
    }
    bool wantsLine() const override { return false; }
    void flush() override {}

    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return texts;
    }
    std::size_t count(const std::string& prefix) {
        std::lock_guard lock(mutex);
        return std::count_if(texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
    }
    // Waits (at most 20 s) until `n` texts start with `prefix`.
    bool waitFor(const std::string& prefix, std::size_t n = 1) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] {
            return static_cast<std::size_t>(std::count_if(texts.begin(), texts.end(), [&](const std::string& t) {
                       return t.rfind(prefix, 0) == 0;
                   })) >= n;
        });
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> texts;
};

// An instance configuration whose log is captured.
struct CapturedConfig {
    CapturedConfig() {
        log->minLevel = KestravaLogger::Debug;
        config.logger.addSink(log);
        config.logger.enable();
    }
    // Log records are written by the logger thread; flushes them by waiting for a marker.
    void settleLog() {
        config.logger.log(1, KestravaLogger::Info, "-- settle {} --", ++marker);
        log->waitFor("-- settle " + std::to_string(marker) + " --");
    }
    std::vector<std::string> statusTexts() const {
        std::vector<std::string> result;
        for (const StatusMessage& m : config.statusMessages.bufferedMessages()) result.emplace_back(m.text);
        return result;
    }

    std::shared_ptr<LogCapture> log = std::make_shared<LogCapture>();
    KestravaInstanceConfig config{192000, 2040};
    int marker = 0;
};

}  // namespace nettest
