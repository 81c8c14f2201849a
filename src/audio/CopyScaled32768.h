#pragma once

#include <atomic>
#include <cstdint>

namespace kestrava::audio {

// Stores source[sourceIndex + i] x 32,768 into destination[destinationIndex + i] for i in
// [0, count), then advances destinationIndex by count; count <= 0 writes nothing. The factor is
// a power of two, so the product is exact: full scale +-1.0 becomes +-32,768. The destination is
// a plain float array, or the atomic slots of a sample history (relaxed stores, which readers on
// other threads may load at any time).
inline void copyScaled32768(std::int32_t count, std::int32_t sourceIndex, std::int32_t& destinationIndex,
                            const float* source, float* destination) {
    if (count <= 0) return;
    const float* from = source + sourceIndex;
    float* to = destination + destinationIndex;
    for (std::int32_t i = 0; i < count; ++i) to[i] = from[i] * 32768.0f;
    destinationIndex += count;
}

inline void copyScaled32768(std::int32_t count, std::int32_t sourceIndex, std::int32_t& destinationIndex,
                            const float* source, std::atomic<float>* destination) {
    if (count <= 0) return;
    const float* from = source + sourceIndex;
    std::atomic<float>* to = destination + destinationIndex;
    for (std::int32_t i = 0; i < count; ++i) to[i].store(from[i] * 32768.0f, std::memory_order_relaxed);
    destinationIndex += count;
}

}  // namespace kestrava::audio
