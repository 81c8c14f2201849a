#pragma once

#include "logging/LogSink.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// A sink that keeps what it is given; it can hold the logger thread inside writeRecord until
// released, to fill the queue behind it.
class RecordingSink : public KestravaLogger::LogSink {
public:
    explicit RecordingSink(bool lines) : lines(lines) {}

    void writeLine(const char* line, std::size_t length) override {
        std::lock_guard lock(mutex);
        texts.emplace_back(line, length);
        lengths.push_back(length);
        changed.notify_all();
    }
    void writeRecord(const KestravaLogger::LogRecord& record) override {
        std::unique_lock lock(mutex);
        records.push_back(record);
        texts.emplace_back(record.text);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [this] { return !holding; });
    }
    bool wantsLine() const override { return lines; }
    void flush() override {}

    void hold() {
        std::lock_guard lock(mutex);
        holding = true;
    }
    void release() {
        std::lock_guard lock(mutex);
        holding = false;
        changed.notify_all();
    }
    bool waitForEntered() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [this] { return entered; });
    }
    bool waitForCount(std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return texts.size() >= n; });
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return texts;
    }

    std::vector<KestravaLogger::LogRecord> records;
    std::vector<std::size_t> lengths;

private:
    const bool lines;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> texts;
    bool holding = false;
    bool entered = false;
};
