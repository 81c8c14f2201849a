#pragma once

// A coder with an instance configuration whose log and status messages the test can read.

#include "codec/entropy/EntropyCoder.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/LogSink.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace streamtest {

class CapturedLog : public KestravaLogger::LogSink {
public:
    void writeLine(const char*, std::size_t) override {}
    void writeRecord(const KestravaLogger::LogRecord& record) override {
        std::lock_guard lock(mutex);
        texts.emplace_back(std::to_string(record.level) + " " + record.text);
        changed.notify_all();
    }
    bool wantsLine() const override { return false; }
    void flush() override {}

    // The texts ("level text\n") once `count` have arrived, or what came within 10 s.
    std::vector<std::string> waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return texts.size() >= count; });
        return texts;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> texts;
};

struct CoderWithMessages {
    CoderWithMessages() {
        config.logger.addSink(log);
        config.logger.enable();
    }
    std::vector<std::string> statusTexts() const {
        std::vector<std::string> out;
        for (const auto& m : config.statusMessages.bufferedMessages()) {
            out.push_back(std::to_string(m.type) + " " + std::string(m.text).substr(20));
        }
        return out;
    }

    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<CapturedLog> log = std::make_shared<CapturedLog>();
    std::unique_ptr<kestrava::codec::entropy::EntropyCoder> coder = std::make_unique<kestrava::codec::entropy::EntropyCoder>(&config);
};

inline std::vector<std::uint8_t> bytesOf(const std::uint8_t* data, std::uint32_t n) { return {data, data + n}; }

inline std::string bitsOf(const kestrava::codec::entropy::SymbolCode& c) {
    std::string s;
    for (std::uint32_t i = c.length; i-- > 0;) s += ((c.code >> i) & 1u) ? '1' : '0';
    return s;
}

}  // namespace streamtest
