#pragma once

#include "codec/Codec.h"
#include "codec/EncoderState.h"

#include <cstdint>

namespace kestrava::codec {

// Rate control of codec versions 1 and 2 (T = double) and 3 (T = float): configure() at every reset
// packet (after the reset capture and after codecVersion is stored), update() after every frame
// handed to the transport. Both run on the encoder feed thread between blocks; no data of its own.
// Every precision and operation order is part of the coded stream (the decoder repeats it).
template <class T>
struct RateController {
    using CodecType = std::conditional_t<std::is_same_v<T, double>, Codec<double, 0>, Codec<float, 4>>;

    // 2^z by a 64-entry table with linear interpolation (the exact lookup the far end repeats).
    // z is limited to +-30 first, and a NaN gives 1.
    static T exp2Lookup(T z);

    // Frame update: durationUs = n * 1,000,000 / 38,400 (integer), frameBytes the sent frame's length
    // less its reset block, codeCount = 2n, energy and energyCount the block coder's outputs (0 and 0
    // when it wrote none). Scales the stepFactor of both main channels. A codeCount of 0 changes nothing.
    static void update(CodecType& codec, std::uint64_t durationUs, std::int32_t frameBytes, std::uint32_t codeCount,
                       float energy, std::uint32_t energyCount, EncoderState<T>& state);
};

struct RateControllerFloat {
    // Version 3 configure: clamps the rates (minimum 320, 160 in plus mode, halved in mono mode; at
    // most 1000), picks both main channels' level class, sets each main quantiser's minStepFactor to
    // the rate's step scale S, raises stepFactor to at least S and sets minStep. maxRate: the
    // variable-rate maximum when above 0, else rate. Returns the first main class's levelBits.
    static std::int32_t configure(Codec<float, 4>& codec, std::uint32_t rate, bool plusMode, bool variableRate,
                                  std::int32_t minStepMultiplier, std::int32_t maxRate, bool monoMode,
                                  EncoderState<float>& state);
};

struct RateControllerDouble {
    // Versions 1 and 2 configure: rate clamped to 320..576, level classes 2..5, minStep 2^-15.
    // Returns the first main class's levelBits.
    static std::int32_t configure(Codec<double, 0>& codec, std::uint32_t rate, EncoderState<double>& state);
};

// The level class of a rate: the number of the thresholds 200, 264, 328, 424, 528, 616, 712 kbit/s
// at or below it (0..7).
std::int32_t levelClassForRate(std::uint32_t rate);

extern template struct RateController<double>;
extern template struct RateController<float>;

}  // namespace kestrava::codec
