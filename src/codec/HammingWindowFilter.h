#pragma once

namespace kestrava::codec {

// Fixed Hamming window of the legacy predictor (codec version 0): N = 16 for a main channel, 6 for
// the third channel. coefficients[n] = 25/46 - (21/46) cos(x), with the angle x = 2 pi n / (N - 1) and
// its cosine both rounded to float, so the window is slightly unsymmetric; the values are constants,
// fixed bit for bit. invLength = 1/N scales the legacy predictor's sums of products. Read-only after
// construction.
template <int N>
class HammingWindowFilter {
    static_assert(N == 6 || N == 16);

public:
    HammingWindowFilter();

    // frame[i] *= coefficients[i], one double multiplication each; returns frame.
    double* apply(double* frame) const;
    // frame[i] = float(double(frame[i]) * coefficients[i]); returns frame.
    float* apply(float* frame) const;

    alignas(64) double coefficients[N];
    double invLength;
};

extern template class HammingWindowFilter<6>;
extern template class HammingWindowFilter<16>;

}  // namespace kestrava::codec
