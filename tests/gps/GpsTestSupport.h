#pragma once

#include "gps/GpsClock.h"
#include "gps/NmeaByteSource.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/RecordingSink.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace gpstest {

// A clock the test moves; sleeping advances it instead of waiting.
class FakeClock final : public kestrava::gps::GpsClock {
public:
    std::int64_t steadyNs() override { return ns.load(); }
    std::int64_t utcSeconds() override { return utcBase + ns.load() / 1'000'000'000; }
    void sleepMs(int milliseconds) override { ns.fetch_add(std::int64_t{milliseconds} * 1'000'000); }
    void setSeconds(double s) { ns.store(static_cast<std::int64_t>(s * 1e9)); }

    std::atomic<std::int64_t> ns{0};
    std::int64_t utcBase = 0;
};

// Reads handed out as the test scripted them; nothing scripted reads as a time-out.
class ScriptedSource final : public kestrava::gps::NmeaByteSource {
public:
    struct Read {
        ReadResult::Status status = ReadResult::Data;
        std::string bytes;
        int error = 0;
    };

    OpenResult open(const std::string& path, std::int32_t) override {
        opened.push_back(path);
        OpenResult r;
        r.error = openError;
        isOpenNow = openError == 0;
        return r;
    }
    void close() override { isOpenNow = false; }
    bool isOpen() const override { return isOpenNow; }
    ReadResult read(std::uint8_t* buffer, std::size_t capacity) override {
        ReadResult r;
        if (reads.empty()) return r;
        Read next = reads.front();
        reads.pop_front();
        r.status = next.status;
        r.error = next.error;
        r.count = std::min(capacity, next.bytes.size());
        std::copy_n(next.bytes.begin(), r.count, buffer);
        return r;
    }

    int openError = 0;
    bool isOpenNow = false;
    std::vector<std::string> opened;
    std::deque<Read> reads;
};

// "$" + body + "*hh" with the right checksum.
inline std::string sentence(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// An RMC sentence for a second of the day.
inline std::string rmc(std::int32_t second, const char* talker = "GP") {
    char body[96];
    std::snprintf(body, sizeof body, "%sRMC,%02d%02d%02d.00,A,4807.038,N,01131.000,E,0.0,0.0,110326,,,A", talker,
                  second / 3600, second / 60 % 60, second % 60);
    return sentence(body);
}

// A configuration whose log is recorded.
struct LoggedGpsConfig {
    LoggedGpsConfig() {
        sink->minLevel = KestravaLogger::Debug;
        config.logger.addSink(sink);
        config.logger.enable();
    }

    // Every text logged so far (waits for the logger thread to pass a marker).
    std::vector<std::string> logged() {
        const std::string marker = "--marker " + std::to_string(++markers) + "--";
        config.logger.log(1, KestravaLogger::Info, marker);
        std::vector<std::string> texts;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            texts = sink->snapshot();
            if (!texts.empty() && texts.back() == marker + "\n") break;
            if (std::chrono::steady_clock::now() > deadline) break;
            std::this_thread::yield();
        }
        std::vector<std::string> result;
        for (const auto& t : texts) {
            if (t.rfind("--marker ", 0) == 0) continue;
            result.push_back(t.substr(0, t.size() - (t.empty() || t.back() != '\n' ? 0 : 1)));
        }
        return result;
    }
    std::size_t count(const std::string& part) {
        const auto texts = logged();
        return static_cast<std::size_t>(
            std::count_if(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; }));
    }

    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>(false);

private:
    int markers = 0;
};

}  // namespace gpstest
