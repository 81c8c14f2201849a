#pragma once

#include "codec/EncoderState.h"

#include <cstdint>

namespace kestrava::codec {

// Rate control of codec version 0, after every frame handed to the transport (encoder feed thread).
// Compares the bits the frame cost with the budget of state.targetRate for its duration, keeps the
// difference in state.reservoir (at least -10 x rate: credit) and moves the stepFactor of both main
// channels up by the full relative overspend or down by half the underspend (never below 0, and not
// for a quiet block). A zero budget changes nothing.
struct LegacyRateController {
    static void update(EncoderState<double>& state, std::uint64_t durationUs, std::uint32_t bytesSent, float energy,
                       std::uint32_t sampleCount);
};

}  // namespace kestrava::codec
