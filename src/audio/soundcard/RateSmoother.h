#pragma once

#include <cstdint>

// An exponentially weighted mean with an optional harmonic mode (the mean of 1/x, read back as
// its reciprocal) and a count of updates to skip at first. Plain data: the owner seeds the fields.
struct RateSmoother {
    bool harmonic = false;
    double decay = 0.0;
    double weight = 0.0;
    double weightSum = 0.0;
    double valueSum = 0.0;
    std::int32_t holdOff = 0;

    void update(double x) {
        if (holdOff > 0) {
            --holdOff;
            return;
        }
        if (harmonic) {
            if (x == 0.0) return;
            x = 1.0 / x;
        }
        weightSum = weightSum * decay + weight;
        valueSum = x * weight + decay * valueSum;
    }

    // 0 until a weight has been gathered (and, harmonic, while the sum of reciprocals is 0).
    double value() const {
        if (!(weightSum > 0.0)) return 0.0;
        if (harmonic) return valueSum == 0.0 ? 0.0 : weightSum / valueSum;
        return valueSum / weightSum;
    }
};
