#pragma once

#include <cstdint>

namespace kestrava::codec {

// One class of reconstruction levels of a quantiser, in units of the step. Entries 0..levelCount-1
// of `levels` are valid and strictly increasing; levels[i] == i up to and including linearLimit,
// above it each level is the previous one times the class's growth ratio (rounded to double; the
// float classes hold those doubles rounded once). Entries from levelCount on are never written.
template <class T>
struct alignas(64) LevelClass {
    static constexpr std::uint32_t capacity = 4096;

    // The code magnitude for a rounded residual magnitude a (in steps): levelCount - 1 when a, as T,
    // is at or above the top level; a itself up to linearLimit; else the nearer of the two levels
    // that enclose a, found by bisection, the upper one on a tie.
    std::uint32_t indexOf(std::uint32_t a) const {
        const T value = static_cast<T>(a);
        if (value >= levels[levelCount - 1]) return levelCount - 1;
        if (a <= linearLimit) return a;
        std::uint32_t lo = linearLimit;
        std::uint32_t hi = levelCount - 1;
        while (hi - lo > 1) {
            const std::uint32_t mid = lo + (hi - lo) / 2;
            if (levels[mid] >= value) {
                hi = mid;
            } else {
                lo = mid;
            }
        }
        return levels[hi] - value > value - levels[lo] ? lo : hi;
    }

    T levels[capacity];
    std::uint32_t levelCount;   // 32 << k for class k
    std::uint32_t levelBits;    // 5 + k: levelCount == 1 << levelBits
    std::uint32_t linearLimit;  // largest index whose level is the index itself
};

inline constexpr int levelClassCount = 8;

// The generating parameters of class k: levelCount, linearLimit and the growth ratio (the double
// nearest to the decimal constant).
struct LevelClassParameters {
    std::uint32_t levelCount;
    std::uint32_t linearLimit;
    double ratio;
};

inline constexpr LevelClassParameters levelClassParameters[levelClassCount] = {
    {32, 3, 1.42},          {64, 6, 1.175},        {128, 13, 1.0775},      {256, 29, 1.03475},
    {512, 65, 1.0156},      {1024, 144, 1.00698},  {2048, 325, 1.003085},  {4096, 748, 1.00133725},
};

// Writes levelCount, levelBits, linearLimit and the geometric part levels[linearLimit..levelCount-1]
// of all eight classes; the linear part below linearLimit is the quantiser constructor's. The double
// recurrence levels[i+1] = levels[i] * ratio is the definition; float levels are its results rounded
// once, never a recurrence in float.
void fillLevelClasses(LevelClass<double>* classes);
void fillLevelClasses(LevelClass<float>* classes);

}  // namespace kestrava::codec
