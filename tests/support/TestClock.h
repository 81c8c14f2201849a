#pragma once

#include "platform/Clock.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

namespace kestrava::test {

// A wall clock the test sets and moves.
class TestClock final : public SystemClock {
public:
    explicit TestClock(std::int64_t start100ns = 0) : now(start100ns) {}
    std::int64_t now100ns() const override { return now.load(); }
    void set(std::int64_t t) { now.store(t); }
    void advanceSeconds(double s) { now.fetch_add(static_cast<std::int64_t>(s * ticksPerSecond)); }

private:
    std::atomic<std::int64_t> now;
};

// The moment of a local date and time, in 100 ns units since 1970, under the current time zone.
std::int64_t localMoment(int year, int month, int day, int hour, int minute, int second, int millis = 0);

// Sets the process time zone (TZ) for the test's lifetime and restores the old one after.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();

private:
    std::string old;
    bool hadOld;
};

}  // namespace kestrava::test
