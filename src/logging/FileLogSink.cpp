#include "logging/FileLogSink.h"

#include "logging/KestravaInstanceConfig.h"
#include "platform/SystemError.h"

#include <fmt/format.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace KestravaLogger {

namespace {
constexpr std::size_t maxFileNameLength = 254;
constexpr std::int64_t defaultLimitMb = 4096;
constexpr int maxPurgePasses = 100;
}  // namespace

FileLogSink::FileLogSink(const KestravaInstanceConfig* config_, std::string folder_, std::string prefix_,
                         const kestrava::SystemClock& clock_)
    : config(config_), clock(clock_), folder(std::move(folder_)), prefix(std::move(prefix_)),
      pathPrefix(folder + "/" + prefix) {}

FileLogSink::~FileLogSink() {
    if (file != nullptr) std::fclose(file);
}

void FileLogSink::flush() {
    if (file != nullptr) std::fflush(file);
}

void FileLogSink::writeLine(const char* line, std::size_t length) {
    const std::int64_t now = clock.now100ns();
    if (now > nextRotation) {
        rotate();
        const std::int64_t after = clock.now100ns();
        nextRotation = file != nullptr ? nextRotationAfter(after)
                                       : after + reopenDelaySeconds * kestrava::ticksPerSecond;
    }
    if (file != nullptr) std::fwrite(line, 1, length, file);
}

std::int64_t FileLogSink::nextRotationAfter(std::int64_t now) const {
    const std::time_t seconds = static_cast<std::time_t>(now / kestrava::ticksPerSecond);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    tm.tm_hour = 3;
    tm.tm_min = 0;
    tm.tm_sec = 0;  // tm_isdst stays that of the current moment
    const std::int64_t t = static_cast<std::int64_t>(std::mktime(&tm)) * kestrava::ticksPerSecond;
    return now < t ? t : t + 86'400 * kestrava::ticksPerSecond;
}

bool FileLogSink::createFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec);
}

void FileLogSink::rotate() {
    if (!createFolder(folder)) {
        std::fprintf(stderr, "Failed to create folder for log files: %s\n", folder.c_str());
    }
    purgeOldFiles();

    std::lock_guard lock(fileMutex);
    if (file != nullptr) {
        std::fputs("Rotating log...\n", file);
        std::fflush(file);
        std::fclose(file);
        file = nullptr;
    }
    const kestrava::LocalTime t = kestrava::toLocalTime(clock.now100ns() / kestrava::ticksPerSecond);
    fileName = fmt::format("{}_{:d}-{:02d}-{:02d}_{:02d}-{:02d}-{:02d}.log", pathPrefix, t.year, t.month, t.day,
                           t.hour, t.minute, t.second);
    if (fileName.size() > maxFileNameLength) fileName.resize(maxFileNameLength);
    // Appending, no line-end translation, not inherited by child processes.
    file = std::fopen(fileName.c_str(), "abe");
    if (file == nullptr) {
        const int error = errno;
        std::fprintf(stderr, "Failed to open file %s: %d / %s\n", fileName.c_str(), error,
                     kestrava::systemErrorText(error).c_str());
    }
}

std::int64_t FileLogSink::limitBytes() const {
    const std::int64_t mb = config != nullptr ? std::int64_t{config->values.logFolderLimitMb.load()} : defaultLimitMb;
    return mb * 1'048'576;
}

bool FileLogSink::isOwnLogFile(const std::string& name) const {
    const std::string head = prefix + "_";
    return name.size() > head.size() + 4 && name.compare(0, head.size(), head) == 0 &&
           name.compare(name.size() - 4, 4, ".log") == 0;
}

void FileLogSink::purgeOldFiles() {
    // Only this program's log files count and only they are removed: the folder may hold other
    // files, and the file still open is never removed.
    const std::uint64_t limit = static_cast<std::uint64_t>(limitBytes());
    for (int pass = 0; pass < maxPurgePasses; ++pass) {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) {
            if (file != nullptr) {
                std::fputs("ERROR: Failed to remove old log files\n", file);
                std::fflush(file);
            }
            return;
        }
        std::uint64_t total = 0;
        bool haveOldest = false;
        fs::file_time_type oldestTime{};
        std::string oldestName;
        std::uint64_t oldestSize = 0;
        for (const fs::directory_entry& entry : it) {
            std::error_code entryError;
            if (!entry.is_regular_file(entryError)) continue;
            const std::string name = entry.path().filename().string();
            if (!isOwnLogFile(name)) continue;
            const std::uint64_t size = entry.file_size(entryError);
            if (entryError) continue;
            const fs::file_time_type modified = entry.last_write_time(entryError);
            if (entryError) continue;
            total += size;
            if (file != nullptr && entry.path().string() == fileName) continue;
            if (!haveOldest || modified < oldestTime || (modified == oldestTime && name < oldestName)) {
                haveOldest = true;
                oldestTime = modified;
                oldestName = name;
                oldestSize = size;
            }
        }
        if (total <= limit || !haveOldest) return;
        if (!fs::remove(fs::path(folder) / oldestName, ec) || ec) {
            if (file != nullptr) {
                std::fprintf(file, "ERROR: Failed to remove old log file: %s\n",
                             kestrava::systemErrorText(ec.value()).c_str());
                std::fflush(file);
            }
            return;
        }
        if (total - oldestSize <= limit) return;
    }
}

}  // namespace KestravaLogger
