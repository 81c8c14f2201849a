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

// Keeps the texts the logger thread hands it, so that tests can wait for them.
class CollectingSink : public KestravaLogger::LogSink {
public:
    void writeLine(const char*, std::size_t) override {}
    void writeRecord(const KestravaLogger::LogRecord& record) override {
        std::lock_guard lock(mutex);
        std::string text(record.text);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        texts.push_back(text);
        changed.notify_all();
    }
    bool wantsLine() const override { return false; }
    void flush() override {}

    // Waits (up to 10 s) until `times` texts equal to `text` have arrived; returns every text so far.
    std::vector<std::string> waitFor(const std::string& text, std::size_t times = 1) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10),
                         [&] { return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text)) >= times; });
        return texts;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> texts;
};

// An instance configuration whose log messages a test can read.
struct LoggedConfig {
    explicit LoggedConfig(int rate = 192000) : config(rate, rate == 176400 ? 1911 : 2040) {
        config.logger.addSink(sink);
        config.logger.enable();
    }
    std::shared_ptr<CollectingSink> sink = std::make_shared<CollectingSink>();
    KestravaInstanceConfig config;
};

// The fields a demodulated record carries, in their order.
struct Record {
    float left, right, quad, pilot, rds, mpx;
};
