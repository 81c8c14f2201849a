#include "audio/ExponentialAverage.h"

#include <cmath>

namespace kestrava::audio {

ExponentialAverage::ExponentialAverage(bool reciprocal_, double decay_, double gain_)
    : reciprocal(reciprocal_), decay(decay_), gain(gain_) {}

void ExponentialAverage::add(double x) {
    if (skip > 0) {
        --skip;
        return;
    }
    if (!std::isfinite(x)) return;
    if (reciprocal) {
        if (x == 0.0) return;
        x = 1.0 / x;
    }
    weight = weight * decay + gain;
    sum = x * gain + decay * sum;
}

double ExponentialAverage::value() const {
    if (!(weight > 0.0)) return 0.0;
    if (reciprocal) return (sum == 0.0) ? 0.0 : weight / sum;
    return sum / weight;
}

void ExponentialAverage::seedRate(double rate) {
    clear();
    skip = 10;
    if (rate > 0.0 && std::isfinite(rate)) {
        weight = 1.0;
        sum = 1.0 / rate;
    }
}

void ExponentialAverage::clear() {
    weight = 0.0;
    sum = 0.0;
    skip = 0;
}

}  // namespace kestrava::audio
