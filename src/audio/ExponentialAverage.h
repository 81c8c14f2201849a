#pragma once

#include <cstdint>

namespace kestrava::audio {

// A weighted running average. A reciprocal average averages the periods 1/x and reports the
// reciprocal of that average (a weighted harmonic mean: an average of periods, shown as a rate).
class ExponentialAverage {
public:
    ExponentialAverage(bool reciprocal, double decay, double gain);

    // Ignores the input while skip > 0 (counting skip down), and ignores 0 (reciprocal) and
    // non-finite inputs; otherwise weight = weight x decay + gain, sum = x x gain + decay x sum.
    void add(double x);
    // 0 while the weight is not positive (or, reciprocal, the sum is 0); else the average.
    double value() const;
    // Seeds a reciprocal average so that its value is `rate` and the next ten inputs are
    // ignored; a rate that is not positive leaves it empty.
    void seedRate(double rate);
    void clear();

    const bool reciprocal;
    const double decay;
    const double gain;
    double weight = 0.0;
    double sum = 0.0;
    std::int32_t skip = 0;
};

}  // namespace kestrava::audio
