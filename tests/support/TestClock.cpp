#include "support/TestClock.h"

#include <cstdlib>

namespace kestrava::test {

std::int64_t localMoment(int year, int month, int day, int hour, int minute, int second, int millis) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm)) * ticksPerSecond + std::int64_t{millis} * 10'000;
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    const char* current = std::getenv("TZ");
    hadOld = current != nullptr;
    if (hadOld) old = current;
    setenv("TZ", tz, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (hadOld) {
        setenv("TZ", old.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace kestrava::test
