#pragma once

// The version-0 rate control, replayed from the frame lengths: each frame's bytes against the
// budget of the bit rate for its duration, the difference carried in a bit reservoir, and both
// main channels' step factors raised by the whole relative overspend or lowered by half of the
// relative underspend (not for a quiet block).
#include <array>
#include <cstdint>

namespace streamdecoder {

class LegacyRateControl {
public:
    // A reset packet: its bit rate comes in force and the reservoir empties.
    void reset(std::int32_t bitRate) {
        bitRate_ = bitRate;
        reservoir_ = 0;
    }

    // durationMicros: the frame's codes per channel in microseconds at 38,400 per second;
    // bytesCharged: the frame packet without its reset packet; energy and codeCount: the sum of
    // the squared reconstructions of both main channels and how many there were.
    void update(std::uint64_t durationMicros, std::uint32_t bytesCharged, float energy, std::uint32_t codeCount,
                std::array<double, 2>& stepFactors);

    std::int32_t reservoir() const { return reservoir_; }

private:
    std::int32_t bitRate_ = 0;
    std::int32_t reservoir_ = 0;  // bits beyond the budget; never below the budget of 10 ms
};

}  // namespace streamdecoder
