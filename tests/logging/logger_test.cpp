#include "logging/Logger.h"
#include "RecordingSink.h"
#include "support/TestClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

using namespace KestravaLogger;

namespace {

struct LoggerFixture : testing::Test {
    LoggerFixture() {
        sink->minLevel = Debug;
        logger.addSink(sink);
        logger.enable();
    }
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>(false);
    Logger logger;
};

}  // namespace

TEST_F(LoggerFixture, TextsAreCutAt510CharactersAndEndWithALineEnd) {
    const struct {
        std::size_t length;
        std::size_t kept;
    } cases[] = {{0, 0}, {1, 1}, {509, 509}, {510, 510}, {511, 510}, {600, 510}};
    for (const auto& c : cases) logger.log(1, Info, "{}", std::string(c.length, 'x'));
    ASSERT_TRUE(sink->waitForCount(std::size(cases)));
    const auto texts = sink->snapshot();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(texts[i], std::string(cases[i].kept, 'x') + "\n") << "length " << cases[i].length;
    }
}

TEST_F(LoggerFixture, PlainTextsAreVerbatimAndFormatsAreFormatted) {
    logger.log(1, Warning, "braces {} and {{ stay");
    logger.log(1, Info, "value {:02d} of {}", 7, std::string("seven"));
    logger.log(1, Error, "ends with a line end\n");
    logWarning(logger, 1, "Failed to join thread: {}", "busy");
    ASSERT_TRUE(sink->waitForCount(4));
    const auto texts = sink->snapshot();
    EXPECT_EQ(texts[0], "braces {} and {{ stay\n");
    EXPECT_EQ(texts[1], "value 07 of seven\n");
    EXPECT_EQ(texts[2], "ends with a line end\n\n");
    EXPECT_EQ(texts[3], "Failed to join thread: busy\n");
    EXPECT_EQ(sink->records[0].level, Warning);
    EXPECT_EQ(sink->records[3].level, Warning);
}

TEST_F(LoggerFixture, RuntimeFormatErrorLogsTheRawText) {
    logger.logRuntime(1, Info, "unmatched {", fmt::make_format_args());
    logger.logRuntime(1, Info, "{} of {}", fmt::make_format_args(1, 2));
    ASSERT_TRUE(sink->waitForCount(2));
    EXPECT_EQ(sink->snapshot()[0], "unmatched {\n");
    EXPECT_EQ(sink->snapshot()[1], "1 of 2\n");
}

TEST_F(LoggerFixture, FullQueueDropsThe257thRecordWithoutBlocking) {
    sink->hold();
    logger.log(1, Info, "held");
    ASSERT_TRUE(sink->waitForEntered());
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 257; ++i) logger.log(1, Info, "record {}", i);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    sink->release();
    ASSERT_TRUE(sink->waitForCount(1 + 256));
    logger.log(1, Info, "after");
    ASSERT_TRUE(sink->waitForCount(1 + 256 + 1));
    const auto texts = sink->snapshot();
    ASSERT_EQ(texts.size(), 258u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(texts[1 + i], "record " + std::to_string(i) + "\n");
    EXPECT_EQ(texts[257], "after\n");
}

TEST(Logger, NothingIsQueuedWhileDisabled) {
    auto sink = std::make_shared<RecordingSink>(false);
    {
        Logger logger;
        logger.addSink(sink);
        logger.log(1, Critical, "before enable");
        logger.enable();
        logger.log(1, Info, "logged");
        logger.stop();
        EXPECT_TRUE(logger.hasStopped());
        logger.log(1, Critical, "after stop");
        logger.stop();  // a second stop is harmless
    }
    EXPECT_EQ(sink->snapshot(), std::vector<std::string>{"logged\n"});
}

TEST(Logger, StopLetsGoOfAThreadHeldInASink) {
    auto sink = std::make_shared<RecordingSink>(false);
    auto logger = std::make_unique<Logger>();
    logger->addSink(sink);
    logger->enable();
    sink->hold();
    logger->log(1, Info, "held");
    ASSERT_TRUE(sink->waitForEntered());
    const auto start = std::chrono::steady_clock::now();
    logger.reset();  // stops, waits about 2 s, lets the held thread go
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1900));
    EXPECT_LT(waited, std::chrono::seconds(5));
    sink->release();  // the thread finishes on memory it owns; sanitizers watch this
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

TEST(Logger, RecordsCarryTheClockAfterFormatting) {
    kestrava::test::TestClock clock(123'456'789);
    auto sink = std::make_shared<RecordingSink>(false);
    Logger logger(clock);
    logger.addSink(sink);
    logger.enable();
    logger.log(1, Trace, "stamped");
    ASSERT_TRUE(sink->waitForCount(1));
    logger.stop();
    EXPECT_EQ(sink->records[0].time, 123'456'789);
    EXPECT_EQ(sink->records[0].level, Trace);
    EXPECT_EQ(sink->records[0].valid, 1);
}
