#pragma once

#include <cstdint>

namespace kestrava::gps {

// An exponentially weighted mean. The weight sum is kept alongside the weighted sum, so a mean
// started from zero sums is unbiased from its first counted sample, and one seeded with a weight
// sum of 1 acts as a prior worth 1/gain samples. The first `warmUp` samples are ignored.
struct ExponentialMean {
    ExponentialMean(double decay, double gain, bool harmonic = false)
        : harmonic(harmonic), decay(decay), gain(gain) {}

    void add(double x);
    double mean() const;
    // Sets both sums and the number of samples still to ignore.
    void restart(double weightSum, double weightedSum, std::int32_t warmUp);

    bool harmonic = false;  // averages reciprocals: the mean is the harmonic mean
    double decay = 0.0;
    double gain = 0.0;
    double weightSum = 0.0;
    double weightedSum = 0.0;
    std::int32_t warmUp = 0;
};

}  // namespace kestrava::gps
