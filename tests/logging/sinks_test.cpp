#include "logging/LogSinker.h"
#include "logging/LogTracer.h"
#include "RecordingSink.h"
#include "support/TestClock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace KestravaLogger;
using kestrava::test::localMoment;
using kestrava::test::ScopedTimeZone;

TEST(LogLine, FormatsLocalTimeLevelWordAndText) {
    ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    LogSinker sinker;
    std::size_t length = 0;
    const LogRecord info(Info, "Demodulator reset\n", localMoment(2024, 3, 5, 14, 3, 7, 42));
    EXPECT_STREQ(sinker.formatLogLine(info, length), "2024-03-05 14:03:07.042     info: Demodulator reset\n");
    EXPECT_EQ(length, 52u);

    const LogRecord marker(TraceBegin, "", localMoment(2024, 7, 1, 0, 0, 0, 999));
    EXPECT_STREQ(sinker.formatLogLine(marker, length), "2024-07-01 00:00:00.999 --------Trace: \n");
    const LogRecord end(TraceEnd, "", localMoment(2024, 7, 1, 0, 0, 1));
    EXPECT_STREQ(sinker.formatLogLine(end, length), "2024-07-01 00:00:01.000 --------End trace: \n");

    // The record's own time counts, not the moment of formatting.
    const LogRecord late(Warning, "x\n", localMoment(2024, 12, 31, 23, 59, 59, 999));
    EXPECT_STREQ(sinker.formatLogLine(late, length), "2024-12-31 23:59:59.999  warning: x\n");
}

TEST(LogLine, LongLinesAreCutTo510CharactersAndALineEnd) {
    LogSinker sinker;
    std::size_t length = 0;
    const std::string text(509, 'y');
    const LogRecord record(Info, (text + "\n").c_str(), 0);
    const std::string line = sinker.formatLogLine(record, length);
    EXPECT_EQ(length, 511u);
    EXPECT_EQ(line.size(), 511u);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line[509], 'y');
}

namespace {

struct TracerFixture : testing::Test {
    TracerFixture() {
        file->minLevel = Trace;
        tracer.addSink(file);
    }
    void send(LogLevel level, const std::string& text) { tracer.writeRecord(LogRecord(level, (text + "\n").c_str(), ++t)); }
    std::vector<std::string> lines() {
        std::vector<std::string> result;
        for (const std::string& line : file->snapshot()) result.push_back(line.substr(24));  // drop date and time
        return result;
    }
    std::int64_t t = 0;
    std::shared_ptr<RecordingSink> file = std::make_shared<RecordingSink>(true);
    LogTracer tracer;
};

}  // namespace

TEST_F(TracerFixture, TraceRecordsWaitForAWarningAndReplayTheLast512) {
    for (int i = 0; i < 600; ++i) send(Trace, "t" + std::to_string(i));
    send(Info, "an info line");
    send(Debug, "never written");
    EXPECT_EQ(lines(), std::vector<std::string>{"    info: an info line\n"});

    send(Error, "the error");
    const auto out = lines();
    ASSERT_EQ(out.size(), 1u + 1 + 1 + 512 + 1);
    EXPECT_EQ(out[1], "   error: the error\n");
    EXPECT_EQ(out[2], "--------Trace: \n");
    for (int i = 0; i < 512; ++i) EXPECT_EQ(out[3 + i], "   trace: t" + std::to_string(88 + i) + "\n");
    EXPECT_EQ(out.back(), "--------End trace: \n");
    EXPECT_EQ(tracer.buffered(), 0);
}

TEST_F(TracerFixture, TheBlockMarkersTakeTheTimeOfTheRecordTheyFollow) {
    send(Trace, "context");
    send(Error, "the error");
    t += 10'000'000;  // one second later
    send(Info, "after");
    const auto out = file->snapshot();
    ASSERT_EQ(out.size(), 5u);
    const auto time = [](const std::string& line) { return line.substr(0, 23); };
    EXPECT_EQ(time(out[1]), time(out[0])) << out[1];  // "--------Trace"
    EXPECT_EQ(time(out[3]), time(out[0])) << out[3];  // "--------End trace"
    EXPECT_LT(time(out[3]), time(out[4]));
}

TEST_F(TracerFixture, ASecondWarningWithoutNewTracesReplaysNothing) {
    send(Warning, "empty ring");
    send(Trace, "context");
    send(Warning, "first");
    send(Critical, "second");
    EXPECT_EQ(lines(), (std::vector<std::string>{" warning: empty ring\n", " warning: first\n", "--------Trace: \n",
                                                 "   trace: context\n", "--------End trace: \n", "critical: second\n"}));
}
