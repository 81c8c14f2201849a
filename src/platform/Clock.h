#pragma once

#include <cstdint>

namespace kestrava {

// 100 ns units since 1970-01-01 00:00:00 UTC: the unit of log-record and status time stamps.
inline constexpr std::int64_t ticksPerSecond = 10'000'000;

// The wall clock, behind an interface so that code that depends on the date (log rotation,
// time prefixes) can be tested with a clock the test sets.
class SystemClock {
public:
    virtual ~SystemClock() = default;
    virtual std::int64_t now100ns() const = 0;
};

// The real wall clock at the highest precision the system offers.
const SystemClock& realSystemClock();
std::int64_t systemNow100ns();

// The steady (monotonic) clock in nanoseconds, for intervals and deadlines.
std::int64_t steadyNowNs();

// Local broken-down time of a moment in whole seconds since 1970 (thread-safe).
struct LocalTime {
    int year = 0;    // four digits
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;
    int second = 0;
};
LocalTime toLocalTime(std::int64_t secondsSince1970);

}  // namespace kestrava
