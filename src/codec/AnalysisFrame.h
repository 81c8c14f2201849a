#pragma once

#include "codec/ChannelHistory.h"

#include <algorithm>
#include <cstdint>

namespace kestrava::codec {

// Shared steps of the backward predictors whose ring length is a power of two.

// Fills frame[0..ringLength): the min(fillCount, ringLength) newest reconstructions right-aligned,
// oldest first, zeros before them. Returns how many are valid.
template <class T>
std::uint32_t fillAnalysisFrame(const ChannelHistory<T>& history, T* frame, std::uint32_t ringLength) {
    const std::uint32_t n = std::min(history.fillCount, ringLength);
    std::fill(frame, frame + (ringLength - n), T(0));
    // Two runs: from the oldest slot to the ring's end, then from its start.
    const std::uint32_t oldest = (history.writePos - n) % ringLength;
    const std::uint32_t first = std::min(n, ringLength - oldest);
    std::copy(history.samples + oldest, history.samples + oldest + first, frame + (ringLength - n));
    std::copy(history.samples, history.samples + (n - first), frame + (ringLength - n + first));
    return n;
}

// The reciprocal of an energy floored at `floor`; a NaN energy gives the floor's.
template <class T>
T floorReciprocal(T energy, T floor) {
    return T(1) / (energy > floor ? energy : floor);
}

}  // namespace kestrava::codec
