#include "audio/CountingSemaphore.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

using kestrava::audio::CountingSemaphore;

namespace {

// Runs acquire(n) on a thread; the test sees when it waits and when it has returned.
struct Waiter {
    Waiter(CountingSemaphore& s, std::int32_t n)
        : thread([this, &s, n] {
              result = s.acquire(n);
              done = true;
          }) {}
    ~Waiter() {
        if (thread.joinable()) thread.join();
    }
    std::atomic<bool> done{false};
    std::atomic<bool> result{false};
    std::thread thread;
};

}  // namespace

TEST(CountingSemaphore, AcquireWithoutWaiting) {
    const struct {
        const char* name;
        std::int32_t start;
        bool close;
        std::int32_t n;
        bool taken;
        std::int32_t after;
    } cases[] = {
        {"zero units", 4, false, 0, true, 4},
        {"exact count", 3, false, 3, true, 0},
        {"part of the count", 7, false, 2, true, 5},
        {"closed, enough units", 5, true, 1, false, 5},
        {"closed, not enough", 5, true, 10, false, 5},
    };
    for (const auto& c : cases) {
        CountingSemaphore s;
        if (c.close) s.close();
        s.release(c.start);  // after a close the units are counted but never taken
        EXPECT_EQ(s.acquire(c.n), c.taken) << c.name;
        EXPECT_EQ(s.count(), c.after) << c.name;
        EXPECT_FALSE(s.isWaiting()) << c.name;
    }
}

TEST(CountingSemaphore, AcquireWaitsUntilReleasesAddUp) {
    CountingSemaphore s;
    s.release(2);
    Waiter w(s, 3);
    ASSERT_TRUE(waitUntil([&] { return s.isWaiting(); }));
    EXPECT_FALSE(w.done);
    s.release(1);
    w.thread.join();
    EXPECT_TRUE(w.result);
    EXPECT_EQ(s.count(), 0);
    EXPECT_FALSE(s.isWaiting());
}

TEST(CountingSemaphore, ClearCountLeavesTheWaiterWaitingUntilEnoughArrive) {
    CountingSemaphore s;
    s.release(6);
    Waiter w(s, 10);
    ASSERT_TRUE(waitUntil([&] { return s.isWaiting(); }));
    s.clearCount();
    s.release(9);
    s.release(0);  // a wake-up without enough units
    EXPECT_FALSE(w.done);
    s.release(1);
    w.thread.join();
    EXPECT_TRUE(w.result);
    EXPECT_EQ(s.count(), 0);
}

TEST(CountingSemaphore, CloseWakesTheWaiterAndStaysClosed) {
    CountingSemaphore s;
    s.release(2);
    Waiter w(s, 5);
    ASSERT_TRUE(waitUntil([&] { return s.isWaiting(); }));
    s.close();
    w.thread.join();
    EXPECT_FALSE(w.result);
    EXPECT_EQ(s.count(), 0);
    EXPECT_TRUE(s.isClosed());
    s.release(5);  // counted, but never taken
    EXPECT_EQ(s.count(), 5);
    EXPECT_FALSE(s.acquire(1));
    EXPECT_EQ(s.count(), 5);
}

TEST(CountingSemaphore, CloseWithoutWaiterLetsLaterAcquiresThrough) {
    CountingSemaphore s;
    s.release(3);
    s.close();
    EXPECT_EQ(s.count(), 0);
    EXPECT_FALSE(s.acquire(100));
}

TEST(CountingSemaphore, InterruptEndsOneWaitWithoutTakingUnits) {
    CountingSemaphore s;
    s.release(1);
    {
        Waiter w(s, 4);
        ASSERT_TRUE(waitUntil([&] { return s.isWaiting(); }));
        s.interrupt();
        w.thread.join();
        EXPECT_FALSE(w.result);
        EXPECT_EQ(s.count(), 1);
    }
    // Consumed: the next claim waits again and takes its units.
    s.release(3);
    EXPECT_TRUE(s.acquire(4));
    // An interrupt with nobody waiting is kept for the next claim that would wait.
    s.interrupt();
    EXPECT_FALSE(s.acquire(1));
    s.release(1);
    EXPECT_TRUE(s.acquire(1));
}

TEST(CountingSemaphore, WaitAndClearWithoutWaiting) {
    const struct {
        const char* name;
        std::int32_t start;
        bool close;
        double seconds;
        std::int32_t after;
    } cases[] = {
        {"units there", 7, false, 10.0, 0},
        {"no units, no time", 0, false, 0.0, 0},
        {"negative count, no time", -3, false, 0.0, -3},
        {"NaN time", 0, false, std::numeric_limits<double>::quiet_NaN(), 0},
        {"closed", 0, true, 10.0, 0},
    };
    for (const auto& c : cases) {
        CountingSemaphore s;
        if (c.close) s.close();
        s.release(c.start);
        s.waitAndClear(c.seconds);
        EXPECT_EQ(s.count(), c.after) << c.name;
        EXPECT_FALSE(s.isWaiting()) << c.name;
    }
}

TEST(CountingSemaphore, WaitAndClearTimesOutOrWakesOnRelease) {
    using namespace std::chrono;
    CountingSemaphore s;
    const auto start = steady_clock::now();
    s.waitAndClear(0.05);
    EXPECT_GE(steady_clock::now() - start, milliseconds(50));
    EXPECT_EQ(s.count(), 0);

    std::atomic<bool> done{false};
    std::thread t([&] {
        s.waitAndClear(600.0);
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return s.isWaiting(); }));
    s.release(1);
    t.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(s.count(), 0);
}
