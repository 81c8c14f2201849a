#pragma once

#include <cstdint>

namespace kestrava::codec {

// The reconstructed samples of one coded channel as a ring, as the backward predictors read them.
// Used slots: main channels 128 (double generation) or 320 (float generation), third channel 64 or 32.
// The coder writes the reconstruction at writePos, advances writePos modulo the used length and adds
// 1 to fillCount (never capped, compared unsigned). sumsStale and middleSums belong to BackwardLpc11;
// lastPrediction and priorPrediction to the float coder's fallback.
template <class T>
struct ChannelHistory {
    static constexpr std::uint32_t capacity = 512;

    T samples[capacity] = {};
    std::uint32_t writePos = 0;
    std::uint32_t fillCount = 0;
    T lastPrediction = 0;
    T priorPrediction = 0;
    bool sumsStale = false;
    double middleSums[12] = {};
};

}  // namespace kestrava::codec
