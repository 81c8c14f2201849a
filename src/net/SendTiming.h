#pragma once

#include <cstdint>

namespace kestrava::net {

// The clock and the pause of the send loop: the steady clock and an interruptible wait in the
// sender, a clock the test moves in the tests.
class SendTiming {
public:
    virtual ~SendTiming() = default;
    virtual std::int64_t nowNs() = 0;
    // Waits about `ns` nanoseconds; true when the loop is asked to stop meanwhile.
    virtual bool pause(std::int64_t ns) = 0;
};

}  // namespace kestrava::net
