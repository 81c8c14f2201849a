#include "audio/soundcard/PacingClock.h"

#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace kestrava::audio::soundcard {

namespace {

class RealPacingClock final : public PacingClock {
public:
    std::int64_t nowNs() override { return kestrava::steadyNowNs(); }
    void sleepNs(std::int64_t ns) override { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); }
};

}  // namespace

PacingClock& realPacingClock() {
    static RealPacingClock clock;
    return clock;
}

}  // namespace kestrava::audio::soundcard
