#pragma once

#include "logging/LogSink.h"
#include "platform/Clock.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

class KestravaInstanceConfig;

namespace KestravaLogger {

// Writes log lines to daily files "<prefix>_<Y>-<MM>-<DD>_<hh>-<mm>-<ss>.log" in the log folder.
// A new file is opened with the first line and then with the first line after each 03:00 local
// time; before it opens, this program's oldest log files are removed while the folder's log files
// together exceed the configured limit. Runs on the logger thread only.
class FileLogSink : public LogSink {
public:
    // Seconds before a failed open is tried again.
    static constexpr std::int64_t reopenDelaySeconds = 60;

    FileLogSink(const KestravaInstanceConfig* config, std::string folder, std::string prefix,
                const kestrava::SystemClock& clock = kestrava::realSystemClock());
    ~FileLogSink() override;

    void writeLine(const char* line, std::size_t length) override;
    void writeRecord(const LogRecord&) override {}
    bool wantsLine() const override { return true; }
    void flush() override;

    // Closes the current file and opens the next one, making the folder and purging before it.
    void rotate();
    // Removes this program's oldest log files (never the open one) while the folder is over its limit.
    void purgeOldFiles();
    static bool createFolder(const std::string& folder);

    const std::string& currentFileName() const { return fileName; }
    bool isOpen() const { return file != nullptr; }
    std::int64_t nextRotationTime() const { return nextRotation; }

private:
    std::int64_t limitBytes() const;
    bool isOwnLogFile(const std::string& name) const;
    // The first moment at or after which a line opens the next day's file, after `now`.
    std::int64_t nextRotationAfter(std::int64_t now) const;

    const KestravaInstanceConfig* config;
    const kestrava::SystemClock& clock;
    std::int64_t nextRotation = 0;
    std::string folder;
    std::string prefix;
    std::string pathPrefix;
    std::string fileName;
    std::mutex fileMutex;
    std::FILE* file = nullptr;
};

}  // namespace KestravaLogger
