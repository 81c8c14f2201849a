#include "logging/MessageFormat.h"
#include "logging/StatusMessageRing.h"
#include "FakeStatusDisplay.h"
#include "support/TestClock.h"

#include <gtest/gtest.h>

#include <string>

using kestrava::test::localMoment;
using kestrava::test::ScopedTimeZone;
using kestrava::test::TestClock;

namespace {

struct RingFixture : testing::Test {
    ScopedTimeZone tz{"UTC0"};
    TestClock clock{localMoment(2024, 3, 5, 14, 7, 9)};
    StatusMessageRing ring{clock};
    FakeStatusDisplay display;
};

std::string body(const StatusMessage& m) { return std::string(m.text).substr(20); }

}  // namespace

TEST_F(RingFixture, TimedMessagesCarryTheLocalTimePrefix) {
    ring.postTimedStatusMessage(StatusWarning, 0, "Failed to open soundcard after {} attempts", 4);
    clock.set(localMoment(2025, 1, 7, 9, 5, 3));
    ring.postStatusText(StatusError, "Invalid {sound} device");
    const auto messages = ring.bufferedMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_STREQ(messages[0].text, "2024/03/05 14:07:09 Failed to open soundcard after 4 attempts");
    EXPECT_EQ(messages[0].type, StatusWarning);
    EXPECT_STREQ(messages[1].text, "2025/01/07 09:05:03 Invalid {sound} device");
    EXPECT_EQ(messages[1].key, 0);
}

TEST_F(RingFixture, TextsAreCutAt1022CharactersAndANewline) {
    const struct {
        std::size_t length;  // prefix (20) and message together
        std::string expectedTail;
        std::size_t expectedSize;
    } cases[] = {{1022, "x", 1022}, {1023, "\n", 1023}, {1500, "\n", 1023}};
    for (const auto& c : cases) {
        char buffer[statusTextSize];
        const std::string message(c.length - 20, 'x');
        EXPECT_EQ(formatTimedMessageAt(buffer, clock.now100ns(), "{}", message), c.length);
        ring.postTimedStatusMessage(StatusNotice, 0, "{}", message);
        const StatusMessage last = ring.bufferedMessages().back();
        const std::string text = last.text;
        EXPECT_EQ(text.size(), c.expectedSize) << c.length;
        EXPECT_EQ(text.substr(text.size() - 1), c.expectedTail) << c.length;
    }
}

TEST_F(RingFixture, SeventeenPostsBeforeAttachingLeavePostsTwoToSeventeen) {
    for (int i = 1; i <= 17; ++i) ring.postTimedStatusMessage(StatusNotice, 0, "post {}", i);
    ring.attachDisplay(&display);
    ASSERT_EQ(display.used(), 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(display.entries[i].text.substr(20), "post " + std::to_string(i + 2));
    ring.postStatusText(StatusNotice, "after attaching");
    EXPECT_EQ(display.entries[16].text.substr(20), "after attaching");
}

TEST_F(RingFixture, NothingBufferedAddsNothing) {
    ring.attachDisplay(&display);
    EXPECT_EQ(display.used(), 0);
}

TEST_F(RingFixture, KeyedMessagesReplaceTheirPredecessorsBeforeAndAfterAttaching) {
    ring.replaceTimedStatusMessage(1, StatusNotice, 1, "Receiving no Kestrava packets since {}s", 5);
    ring.postStatusText(StatusNotice, "unrelated");
    ring.replaceTimedStatusMessage(1, StatusNotice, 2, "stream back");
    auto messages = ring.bufferedMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(body(messages[0]), "stream back");
    EXPECT_EQ(messages[0].key, 2);

    // A later no-packets message finds no key-1 message and is added.
    ring.replaceTimedStatusMessage(1, StatusNotice, 1, "Receiving no Kestrava packets since {}s", 9);
    EXPECT_EQ(ring.bufferedMessages().size(), 3u);

    ring.attachDisplay(&display);
    ring.replaceTimedStatusMessage(1, StatusNotice, 2, "back again");
    EXPECT_EQ(display.used(), 3);
    EXPECT_EQ(display.entries[2].text.substr(20), "back again");
    EXPECT_EQ(display.entries[2].key, 2);

    ring.replaceTimedStatusMessage(6, StatusNotice, 6, "Input level too low");
    EXPECT_EQ(display.used(), 4);
}
