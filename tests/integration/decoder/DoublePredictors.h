#pragma once

// The backward-adaptive predictors of the double-precision generation, as a receiver rebuilds
// them: before every sample the coefficients are derived afresh from the channel's own
// reconstructed samples (never transmitted), so both ends reach the same bits as long as every
// operation happens in the same order. Main channels: 15 taps over the newest 128 samples;
// third channel: 5 taps over the newest 64.
#include <array>
#include <cstdint>

namespace streamdecoder {

// The reconstructed samples of one channel as a ring of Size slots.
template <std::uint32_t Size>
struct ReconstructionRing {
    std::array<double, Size> samples{};
    std::uint32_t writeIndex = 0;  // the slot of the next sample
    std::uint32_t fillCount = 0;   // samples written since the last reset; wraps at 2^32

    // The sample written k samples ago (k = 1 is the newest).
    double back(std::uint32_t k) const { return samples[(writeIndex - k) % Size]; }
    void push(double y) {
        samples[writeIndex] = y;
        writeIndex = (writeIndex + 1) % Size;
        ++fillCount;
    }
    void clear(std::uint32_t count) {
        samples.fill(0.0);
        writeIndex = count;
        fillCount = count;
    }
};

using MainRing = ReconstructionRing<128>;
using ThirdRing = ReconstructionRing<64>;

// Prediction coefficients c[1..15] (c[0] unused) of a main channel, from its ring.
std::array<double, 16> mainPredictorCoefficients(const MainRing& ring);

// Prediction coefficients a[1..5] (a[0] unused) of the third channel, from its ring.
std::array<double, 6> thirdPredictorCoefficients(const ThirdRing& ring);

}  // namespace streamdecoder
