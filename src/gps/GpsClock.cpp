#include "gps/GpsClock.h"

#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace kestrava::gps {

namespace {

class RealGpsClock final : public GpsClock {
public:
    std::int64_t steadyNs() override { return kestrava::steadyNowNs(); }
    std::int64_t utcSeconds() override { return static_cast<std::int64_t>(std::time(nullptr)); }
    void sleepMs(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
};

}  // namespace

GpsClock& realGpsClock() {
    static RealGpsClock clock;
    return clock;
}

}  // namespace kestrava::gps
