#pragma once

#include <cstdint>

namespace kestrava::audio::soundcard {

// The steady (monotonic) clock behind an interface, so that the watchdog, the callback stamps and
// the rate measurement can be driven by a clock a test moves.
class SteadyClock {
public:
    virtual ~SteadyClock() = default;
    virtual std::int64_t nowNs() const = 0;
};

// The process's real steady clock in nanoseconds.
const SteadyClock& realSteadyClock();

}  // namespace kestrava::audio::soundcard
