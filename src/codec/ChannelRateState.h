#pragma once

#include <cstdint>

namespace kestrava::codec {

// The step state of one coded channel. The coder's step is max(sqrt(power) * stepFactor, minStep)
// (legacy: divided by the rate's level scale first). The coders update power every sample; rate
// control scales stepFactor between frames and sets levelClass; levelCount is the legacy
// generation's number of valid levels (0 and unused elsewhere).
template <class T>
struct ChannelRateState {
    T power = 0;
    T stepFactor = 0;
    std::int32_t levelClass = 0;
    std::int32_t levelCount = 0;
};

}  // namespace kestrava::codec
