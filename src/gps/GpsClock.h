#pragma once

#include <cstdint>

namespace kestrava::gps {

// The time the GPS reader and synchroniser work with, behind an interface so that framing,
// smoothing and pulse placement are tested on a virtual clock without waiting.
class GpsClock {
public:
    virtual ~GpsClock() = default;
    // Steady clock, nanoseconds; never stepped.
    virtual std::int64_t steadyNs() = 0;
    // UTC, whole seconds since 1970.
    virtual std::int64_t utcSeconds() = 0;
    virtual void sleepMs(int milliseconds) = 0;
};

GpsClock& realGpsClock();

}  // namespace kestrava::gps
