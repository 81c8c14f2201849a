#include "gps/ExponentialMean.h"

namespace kestrava::gps {

void ExponentialMean::add(double x) {
    if (warmUp > 0) {
        --warmUp;
        return;
    }
    if (harmonic) {
        if (x == 0.0) return;
        x = 1.0 / x;
    }
    weightSum = weightSum * decay + gain;
    weightedSum = weightedSum * decay + x * gain;
}

double ExponentialMean::mean() const {
    if (weightSum <= 0.0) return 0.0;
    if (harmonic) return weightedSum == 0.0 ? 0.0 : weightSum / weightedSum;
    return weightedSum / weightSum;
}

void ExponentialMean::restart(double newWeightSum, double newWeightedSum, std::int32_t newWarmUp) {
    weightSum = newWeightSum;
    weightedSum = newWeightedSum;
    warmUp = newWarmUp;
}

}  // namespace kestrava::gps
