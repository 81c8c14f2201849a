#include "audio/soundcard/SteadyClock.h"

#include "platform/Clock.h"

namespace kestrava::audio::soundcard {

namespace {

class RealSteadyClock final : public SteadyClock {
public:
    std::int64_t nowNs() const override { return kestrava::steadyNowNs(); }
};

}  // namespace

const SteadyClock& realSteadyClock() {
    static const RealSteadyClock clock;
    return clock;
}

}  // namespace kestrava::audio::soundcard
