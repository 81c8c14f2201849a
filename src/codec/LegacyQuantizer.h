#pragma once

#include <cstdint>

class KestravaInstanceConfig;

namespace kestrava::codec {

// The level table of one legacy channel (codec version 0): ascending reconstruction magnitudes in
// units of the step, 0, 1, ..., W and then a geometric run with ratio about 1 + 1/W up to 65536.
// Built from the bit rate at every reset packet; the coder reads entries below the channel's levelCount.
template <int N>
struct alignas(64) LegacyQuantizer {
    static_assert(N == 1);
    static constexpr std::uint32_t capacity = 4096;

    explicit LegacyQuantizer(KestravaInstanceConfig* config = nullptr) : config(config) {}

    // Fills `levels` for a bit rate in kbit/s and returns the number of levels (at most capacity:
    // from 672 kbit/s on the ladder would need more, and it stops at the table's end; the settings
    // refuse such rates for codec version 0).
    std::uint32_t buildLevels(std::uint32_t rateKbps);

    KestravaInstanceConfig* config;
    double newPowerWeight = 0.1;
    double oldPowerWeight = 0.9;
    double minStep = 0x1p-15;
    alignas(64) double levels[capacity] = {};
};

// The level scale W = 2^e of a legacy bit rate, e = trunc(float(rate - 64 as uint32) / 64 + 0.5)
// mod 32: 320 kbit/s gives 16, 384 gives 32; rates below 64 give 1.
double legacyLevelScale(std::uint32_t rateKbps);

extern template struct LegacyQuantizer<1>;

}  // namespace kestrava::codec
