#include "params/ParamSlider.h"

#include <cmath>
#include <limits>

namespace kestrava::params {

std::int32_t nearestInt32(double x) noexcept {
    if (std::isnan(x)) return 0;
    const double r = std::round(x);
    if (r >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (r <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

void ParamSlider::getSteps(int& normal, int& drag, int& fast) const {
    normal = 1;
    drag = 1;
    fast = 10;
}

void ParamSlider::updateSteps() {
    const float base = getStepBase();
    if (base == cachedBase.load()) return;
    cachedBase.store(base);
    int normal = 1, drag = 1, fast = 10;
    getSteps(normal, drag, fast);
    steps[0].store(normal);
    steps[1].store(drag);
    steps[2].store(fast);
}

void ParamSlider::writeSliderSteps(WordWriter& out) {
    updateSteps();
    out.word(static_cast<std::uint32_t>(stepsNormal()));
    out.word(static_cast<std::uint32_t>(stepsDrag()));
    out.word(static_cast<std::uint32_t>(stepsFast()));
}

bool ParamSlider::applySliderCommand(const RequestValues& values, int command) {
    const auto amount = values.floatBits(2);
    const auto mode = values.at(3);
    if (!amount || !mode) return false;
    updateSteps();
    const float base = cachedBase.load();
    if (base == 0.0f || !std::isfinite(base)) return true;
    const float current = getPosition(5);
    std::int64_t grid = 1;
    std::int64_t move = 0;
    if (command == 1) {
        const float d = *amount - current;
        switch (*mode) {
            case 0: grid = stepsDrag(); move = nearestInt32(base * d); break;
            case 1: grid = 1; move = nearestInt32(d * static_cast<float>(stepsDrag())); break;
            case 2: grid = stepsFast(); move = nearestInt32(base * d); break;
            default: grid = 1; move = nearestInt32(base * d); break;
        }
    } else {
        const std::int64_t s = nearestInt32(*amount);
        switch (*mode) {
            case 1: grid = 1; move = s; break;
            case 2: grid = stepsFast(); move = s * grid; break;
            default: grid = stepsNormal(); move = s * grid; break;
        }
    }
    if (grid <= 0) grid = 1;
    const float q = current * base;
    const std::int64_t now = nearestInt32(q);
    const std::int64_t last = nearestInt32(base);
    std::int64_t target = now + move;
    if (target <= 0) {
        target = 0;
    } else if (target >= last) {
        target = last;
    } else if (const std::int64_t r = target % grid; r != 0) {
        if (move < 0) {
            if (target <= now - grid) target = target + grid - r;
        } else if (move > 0) {
            if (static_cast<float>(target) >= static_cast<float>(grid) + q) target -= r;
        }
    }
    if (target == now) return true;
    float position = static_cast<float>(target) / base;
    if (position < 0.0f) position = 0.0f;
    if (position > 1.0f) position = 1.0f;
    setFromPosition(position);
    return true;
}

}  // namespace kestrava::params
