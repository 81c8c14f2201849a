#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace kestrava {

namespace {
class RealSystemClock final : public SystemClock {
public:
    std::int64_t now100ns() const override { return systemNow100ns(); }
};
}  // namespace

const SystemClock& realSystemClock() {
    static const RealSystemClock clock;
    return clock;
}

std::int64_t systemNow100ns() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * ticksPerSecond + ts.tv_nsec / 100;
}

std::int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LocalTime toLocalTime(std::int64_t secondsSince1970) {
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    std::tm tm{};
    localtime_r(&t, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace kestrava
