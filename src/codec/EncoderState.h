#pragma once

#include "codec/ChannelHistory.h"
#include "codec/ChannelRateState.h"

#include <cstdint>

namespace kestrava::codec {

// The coder and rate-control state that every encoder holds (all four codec versions). Slot 0 is the
// first main channel, slot 1 the second (coded on the worker thread in versions 1 to 3), slot 2 the
// third channel. Written by the block coders, rate control and the reset capture, all between blocks
// on the encoder feed thread except slot 1 while the worker codes a block.
template <class T>
struct EncoderState {
    ChannelRateState<T> rateStates[3];
    ChannelHistory<T> histories[3];
    bool variableRate = false;         // budgets use maximumRate, the reservoir never goes positive
    std::int32_t minStepMultiplier = 1;  // variable-rate noise level: minStep = this * 2^-15
    std::int32_t maximumRate = -1;     // kbit/s, after clamping
    bool monoMode = false;             // float coder: both main channels carry their average
    std::int32_t codecVersion = -1;    // selects the reservoir rule (stored by the reset packet)
    std::int32_t targetRate = 0;       // kbit/s, after clamping (legacy: the reset's bit rate)
    std::int32_t reservoir = 0;        // bits: positive saved, negative owed (legacy: the opposite)
};

}  // namespace kestrava::codec
