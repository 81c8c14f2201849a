#pragma once

#include "codec/LevelClass.h"

#include <type_traits>

namespace kestrava::codec {

// The quantiser record of one coded channel: eight level classes, the floor of the channel's step
// factor and its minimum step. Only N = 1 exists (double: codec versions 1 and 2; float: version 3).
// Built complete by its constructor; afterwards only minStepFactor and minStep change (rate control).
template <class T, int N>
struct alignas(64) Quantizer {
    static_assert(N == 1 && (std::is_same_v<T, double> || std::is_same_v<T, float>));

    Quantizer();

    T minStepFactor;                          // floor of the step factor; 100000 until the float
                                              // generation's rate set-up writes it
    LevelClass<T> levelClasses[levelClassCount];
    T minStep;                                // 2^-15 until rate control sets it
};

extern template struct Quantizer<double, 1>;
extern template struct Quantizer<float, 1>;

}  // namespace kestrava::codec
