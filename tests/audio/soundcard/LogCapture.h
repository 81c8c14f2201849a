#pragma once

#include "logging/LogSink.h"
#include "logging/Logger.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Keeps every record's level and text (without its line end); waits for records to arrive.
class LogCapture : public KestravaLogger::LogSink {
public:
    static std::shared_ptr<LogCapture> attach(KestravaLogger::Logger& logger) {
        auto sink = std::make_shared<LogCapture>();
        logger.addSink(sink);
        logger.enable();
        return sink;
    }

    void writeLine(const char*, std::size_t) override {}
    void writeRecord(const KestravaLogger::LogRecord& record) override {
        std::string text = record.text;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        std::lock_guard lock(mutex);
        entries.emplace_back(record.level, std::move(text));
        changed.notify_all();
    }
    bool wantsLine() const override { return false; }
    void flush() override {}

    // Records whose text starts with `prefix`.
    int count(const std::string& prefix) const {
        std::lock_guard lock(mutex);
        int n = 0;
        for (const auto& e : entries) n += e.second.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }
    bool waitFor(const std::string& prefix, int n = 1) const {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] {
            int c = 0;
            for (const auto& e : entries) c += e.second.rfind(prefix, 0) == 0 ? 1 : 0;
            return c >= n;
        });
    }
    std::vector<std::pair<KestravaLogger::LogLevel, std::string>> snapshot() const {
        std::lock_guard lock(mutex);
        return entries;
    }
    // The texts that start with any of the prefixes, in order of arrival.
    std::vector<std::string> matching(const std::vector<std::string>& prefixes) const {
        std::vector<std::string> out;
        for (const auto& e : snapshot()) {
            for (const auto& p : prefixes) {
                if (e.second.rfind(p, 0) == 0) {
                    out.push_back(e.second);
                    break;
                }
            }
        }
        return out;
    }

private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<std::pair<KestravaLogger::LogLevel, std::string>> entries;
};
