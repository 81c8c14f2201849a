#include "codec/HammingWindowFilter.h"

#include <algorithm>

namespace kestrava::codec {

namespace {

// Generated from the window rule (float angle, float cosine, double 25/46 and 21/46); do not edit.
constexpr double window16[16] = {
    0x1.642c8590b2164p-4, 0x1.02eb108590b22p-3, 0x1.e76f7c8590b20p-3, 0x1.9c102237a6f4ep-2,
    0x1.2eb17a4c8590bp-1, 0x1.8b21651642c85p-1, 0x1.d35c1cc8590b2p-1, 0x1.fae46a2c8590ap-1,
    0x1.fae46942c8590p-1, 0x1.d35c1af4de9bdp-1, 0x1.8b2162cde9bd3p-1, 0x1.2eb177ac8590bp-1,
    0x1.9c101da6f4deap-2, 0x1.e76f7190b2164p-3, 0x1.02eb0937a6f4ep-3, 0x1.642c8590b2164p-4,
};
constexpr double window6[6] = {
    0x1.642c8590b2164p-4, 0x1.9c102237a6f4ep-2, 0x1.d35c1cc8590b2p-1, 0x1.d35c1af4de9bdp-1,
    0x1.9c101da6f4deap-2, 0x1.642c8590b2164p-4,
};

template <int N>
constexpr const double* windowTable() {
    if constexpr (N == 16) {
        return window16;
    } else {
        return window6;
    }
}

}  // namespace

template <int N>
HammingWindowFilter<N>::HammingWindowFilter() : invLength(1.0 / N) {
    std::copy(windowTable<N>(), windowTable<N>() + N, coefficients);
}

template <int N>
double* HammingWindowFilter<N>::apply(double* frame) const {
    for (int i = 0; i < N; ++i) frame[i] = frame[i] * coefficients[i];
    return frame;
}

template <int N>
float* HammingWindowFilter<N>::apply(float* frame) const {
    for (int i = 0; i < N; ++i) frame[i] = static_cast<float>(static_cast<double>(frame[i]) * coefficients[i]);
    return frame;
}

template class HammingWindowFilter<6>;
template class HammingWindowFilter<16>;

}  // namespace kestrava::codec
