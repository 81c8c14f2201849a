#include "net/DestinationCommandRing.h"

#include <gtest/gtest.h>

#include <chrono>

using kestrava::net::DestinationCommand;
using kestrava::net::DestinationCommandRing;

namespace {

DestinationCommand add(int id) {
    DestinationCommand c;
    c.host = "127.0.0.1";
    c.port = "9";
    c.destinationId = id;
    return c;
}
DestinationCommand erase(int id) {
    DestinationCommand c;
    c.destinationId = id;
    c.erase = true;
    return c;
}
const auto now = [] { return std::chrono::steady_clock::now(); };

}  // namespace

TEST(DestinationCommandRing, The65thCommandIsRefusedUntilTheReaderFreesASlot) {
    DestinationCommandRing ring;
    for (int i = 0; i < 64; ++i) ASSERT_TRUE(ring.submit(add(i))) << i;
    EXPECT_FALSE(ring.submit(add(64)));
    DestinationCommand taken;
    ASSERT_EQ(ring.take(taken, now()), DestinationCommandRing::TakeResult::Command);
    EXPECT_EQ(taken.destinationId, 0);
    // Taken but still being carried out: the slot stays the reader's.
    EXPECT_FALSE(ring.submit(add(64)));
    ring.finish();
    EXPECT_TRUE(ring.submit(add(64)));
}

TEST(DestinationCommandRing, TextsAreCutTo64Characters) {
    DestinationCommandRing ring;
    DestinationCommand c = add(1);
    c.host = std::string(100, 'h');
    c.interfaceName = std::string(70, 'i');
    ASSERT_TRUE(ring.submit(c));
    DestinationCommand taken;
    ASSERT_EQ(ring.take(taken, now()), DestinationCommandRing::TakeResult::Command);
    EXPECT_EQ(taken.host.size(), 64u);
    EXPECT_EQ(taken.interfaceName.size(), 64u);
}

TEST(DestinationCommandRing, ACancelledEraseStaysReservedUntilTheReaderPassesIt) {
    DestinationCommandRing ring;
    ASSERT_TRUE(ring.submit(add(7)));    // slot 0
    ASSERT_TRUE(ring.submit(erase(7)));  // slot 1
    for (int i = 0; i < 62; ++i) ASSERT_TRUE(ring.submit(add(100 + i)));
    DestinationCommand taken;
    ASSERT_EQ(ring.take(taken, now()), DestinationCommandRing::TakeResult::Command);
    EXPECT_TRUE(ring.cancelPendingErase(7));
    EXPECT_FALSE(ring.cancelPendingErase(7));
    ring.finish();
    EXPECT_TRUE(ring.submit(add(200)));   // slot 0 again
    EXPECT_FALSE(ring.submit(add(201)));  // slot 1: the cancelled erase, not yet passed
    ASSERT_EQ(ring.take(taken, now()), DestinationCommandRing::TakeResult::Command);
    EXPECT_EQ(taken.destinationId, 100);  // the cancelled erase was passed over
    EXPECT_TRUE(ring.submit(add(201)));
}

TEST(DestinationCommandRing, TakeTimesOutWhenIdleAndReportsAClose) {
    DestinationCommandRing ring;
    DestinationCommand taken;
    EXPECT_EQ(ring.take(taken, now()), DestinationCommandRing::TakeResult::TimedOut);
    ring.close();
    EXPECT_EQ(ring.take(taken, std::chrono::steady_clock::time_point::max()), DestinationCommandRing::TakeResult::Closed);
    EXPECT_TRUE(ring.waitClosedUntil(std::chrono::steady_clock::time_point::max()));
}
