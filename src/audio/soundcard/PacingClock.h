#pragma once

#include <cstdint>

namespace kestrava::audio::soundcard {

// The clock the fake sound card paces itself against: the steady clock and a sleep. A test puts a
// virtual clock in its place, whose sleep moves time on at once.
class PacingClock {
public:
    virtual ~PacingClock() = default;
    virtual std::int64_t nowNs() = 0;
    virtual void sleepNs(std::int64_t ns) = 0;
};

PacingClock& realPacingClock();

}  // namespace kestrava::audio::soundcard
