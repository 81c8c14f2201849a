#include "logging/FileLogSink.h"
#include "logging/KestravaInstanceConfig.h"
#include "support/TempDir.h"
#include "support/TestClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

using namespace KestravaLogger;
using kestrava::test::localMoment;
using kestrava::test::ScopedTimeZone;
using kestrava::test::TempDir;
using kestrava::test::TestClock;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

void write(FileLogSink& sink, const std::string& line) { sink.writeLine(line.c_str(), line.size()); }

void makeFile(const fs::path& path, std::size_t size, int ageSeconds) {
    std::ofstream(path, std::ios::binary) << std::string(size, 'z');
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
}

}  // namespace

TEST(FileLogSink, RotatesAtTheFirstLineAfterThreeOClock) {
    ScopedTimeZone tz("UTC0");
    TempDir dir;
    TestClock clock(localMoment(2024, 3, 6, 1, 30, 0));
    const std::string folder = (dir.path() / "logs" / "Kestrava_Encoder.log").string();
    {
        FileLogSink sink(nullptr, folder, "kestrava", clock);
        write(sink, "first line\n");
        EXPECT_EQ(sink.nextRotationTime(), localMoment(2024, 3, 6, 3, 0, 0));
        clock.set(localMoment(2024, 3, 6, 3, 0, 0));
        write(sink, "still the first file\n");
        clock.set(localMoment(2024, 3, 6, 3, 0, 12));
        write(sink, "second file\n");
        EXPECT_EQ(sink.nextRotationTime(), localMoment(2024, 3, 7, 3, 0, 0));
        clock.set(localMoment(2024, 3, 7, 11, 0, 0));  // nothing logged between 03:00 and 11:00
        write(sink, "third file\n");
        sink.flush();
    }
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"kestrava_2024-03-06_01-30-00.log", "kestrava_2024-03-06_03-00-12.log",
                                                      "kestrava_2024-03-07_11-00-00.log"}));
    EXPECT_EQ(readFile(fs::path(folder) / "kestrava_2024-03-06_01-30-00.log"),
              "first line\nstill the first file\nRotating log...\n");
    EXPECT_EQ(readFile(fs::path(folder) / "kestrava_2024-03-06_03-00-12.log"), "second file\nRotating log...\n");
    EXPECT_EQ(readFile(fs::path(folder) / "kestrava_2024-03-07_11-00-00.log"), "third file\n");
}

TEST(FileLogSink, StartAtOrAfterThreeRotatesTheNextDay) {
    ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    TempDir dir;
    for (const int hour : {3, 9}) {
        TestClock clock(localMoment(2024, 3, 30, hour, 0, 0));
        FileLogSink sink(nullptr, dir.str(), "kestrava", clock);
        write(sink, "x\n");
        EXPECT_EQ(sink.nextRotationTime(), localMoment(2024, 3, 30, 3, 0, 0) + 86'400 * kestrava::ticksPerSecond);
    }
}

TEST(FileLogSink, FailedOpenIsRetriedAfterAMinute) {
    ScopedTimeZone tz("UTC0");
    TempDir dir;
    const fs::path blocker = dir.path() / "not-a-folder";
    std::ofstream(blocker) << "file in the way";
    TestClock clock(localMoment(2024, 5, 1, 12, 0, 0));
    FileLogSink sink(nullptr, blocker.string(), "kestrava", clock);
    testing::internal::CaptureStderr();
    write(sink, "lost\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(sink.isOpen());
    EXPECT_NE(err.find("Failed to create folder for log files: " + blocker.string()), std::string::npos);
    EXPECT_NE(err.find("Failed to open file " + blocker.string() + "/kestrava_2024-05-01_12-00-00.log: 20 / Not a directory"),
              std::string::npos);

    fs::remove(blocker);
    clock.advanceSeconds(30);
    write(sink, "still lost\n");
    EXPECT_FALSE(sink.isOpen());
    clock.advanceSeconds(31);
    write(sink, "kept\n");
    EXPECT_TRUE(sink.isOpen());
    sink.flush();
    EXPECT_EQ(readFile(blocker / "kestrava_2024-05-01_12-01-01.log"), "kept\n");
}

TEST(FileLogSink, PurgeRemovesOnlyThisProgramsOldestFiles) {
    ScopedTimeZone tz("UTC0");
    TempDir dir;
    KestravaInstanceConfig config(192000, 2040);
    config.values.logFolderLimitMb = 1;  // 1,048,576 bytes
    const std::size_t third = 400'000;
    makeFile(dir.path() / "kestrava_2024-01-01_03-00-00.log", third, 400);
    makeFile(dir.path() / "kestrava_2024-01-02_03-00-00.log", third, 300);
    makeFile(dir.path() / "kestrava_2024-01-03_03-00-00.log", third, 200);
    makeFile(dir.path() / "other-program.log", 5'000'000, 1000);  // foreign: neither counted nor removed
    makeFile(dir.path() / "kestrava_notes.txt", 10, 2000);

    TestClock clock(localMoment(2024, 1, 4, 3, 0, 5));
    FileLogSink sink(&config, dir.str(), "kestrava", clock);
    write(sink, "line\n");
    sink.flush();
    // 1.2 MB of own files: the oldest goes, 800 kB stay under the limit.
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"kestrava_2024-01-02_03-00-00.log", "kestrava_2024-01-03_03-00-00.log",
                                                          "kestrava_2024-01-04_03-00-05.log", "other-program.log",
                                                          "kestrava_notes.txt"}));
}

TEST(FileLogSink, PurgeNeverRemovesTheOpenFile) {
    ScopedTimeZone tz("UTC0");
    TempDir dir;
    KestravaInstanceConfig config(192000, 2040);
    config.values.logFolderLimitMb = 1;
    TestClock clock(localMoment(2024, 1, 4, 2, 0, 0));
    FileLogSink sink(&config, dir.str(), "kestrava", clock);
    write(sink, std::string(2'000'000, 'a') + "\n");  // the open file alone is over the limit
    sink.flush();
    fs::last_write_time(sink.currentFileName(), fs::file_time_type::clock::now() - std::chrono::hours(1));
    makeFile(dir.path() / "kestrava_2024-01-01_03-00-00.log", 100, 10);  // newer than the open file
    clock.set(localMoment(2024, 1, 4, 3, 0, 1));
    write(sink, "next\n");
    sink.flush();
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"kestrava_2024-01-04_02-00-00.log", "kestrava_2024-01-04_03-00-01.log"}));
}

TEST(FileLogSink, ExactlyAtTheLimitNothingIsRemoved) {
    ScopedTimeZone tz("UTC0");
    TempDir dir;
    KestravaInstanceConfig config(192000, 2040);
    config.values.logFolderLimitMb = 1;
    makeFile(dir.path() / "kestrava_2024-01-01_03-00-00.log", 524'288, 100);
    makeFile(dir.path() / "kestrava_2024-01-02_03-00-00.log", 524'288, 50);
    TestClock clock(localMoment(2024, 1, 3, 4, 0, 0));
    FileLogSink sink(&config, dir.str(), "kestrava", clock);
    write(sink, "");  // an empty line still opens the file
    EXPECT_EQ(namesIn(dir.path()).size(), 3u);
}
