#include "audio/soundcard/Tilt.h"

#include <algorithm>
#include <cmath>

namespace kestrava::audio::soundcard {

namespace {

constexpr double stateLimit = 4e27;
constexpr double stateFloor = -3.9e27;
constexpr float timeConstantLimit = 4.5f;
constexpr float inputLimit = 4e9f;

// A value strictly inside +-4e27 is kept, raised to at least -3.9e27; anything else (NaN too) is 0.
template <class T>
T sanitised(T v) {
    if (v > static_cast<T>(-stateLimit) && v < static_cast<T>(stateLimit)) return std::max(v, static_cast<T>(stateFloor));
    return T(0);
}

struct Section {
    double pole = 0.0;
    double gain = 0.0;
    bool on = false;
};

// The coefficients of one section for a signed time constant; off beyond 4.5 s, and off for a
// NaN time constant, which would otherwise turn every output into NaN.
Section sectionFor(float timeConstant, float leak, float sampleRate, bool twoPasses) {
    if (!(std::fabs(timeConstant) <= timeConstantLimit)) return {};
    const double magnitude = std::fabs(static_cast<double>(timeConstant));
    const double t = twoPasses ? 2.0 * magnitude : magnitude;
    const double d = 1.0 - t / (1.0 / static_cast<double>(sampleRate) + t);
    return {1.0 - static_cast<double>(leak) * d, timeConstant >= 0.0f ? d : -d, true};
}

}  // namespace

void Tilt::init() {
    rc = 5.0f;
    corner = 5.0f;
    rc2 = 5.0f;
    linkRc2 = true;
    leak = 0.5f;
    std::fill(std::begin(states), std::end(states), 0.0);
    pole1 = 1.0;
    gain1 = 0.0;
    std::fill(std::begin(singleStates), std::end(singleStates), 0.0f);
}

void Tilt::updateCorner() {
    const float a = rc;
    const float b = linkRc2 ? rc : rc2;
    const float ia = std::fabs(a) < timeConstantLimit ? 1.0f / a : 0.0f;
    const float ib = std::fabs(b) < timeConstantLimit ? 1.0f / b : 0.0f;
    const float c = ia > ib ? 1.0f / std::max(0.00001f, ia - ib) : -1.0f / std::max(0.00001f, ib - ia);
    corner = std::min(5.0f, c);
}

void Tilt::updateCoefficients() {
    for (double& s : states) s = sanitised(s);
    for (float& s : singleStates) s = sanitised(s);
    updateCorner();
    const Section first = sectionFor(corner, leak, sampleRate, twoPasses());
    const Section second = sectionFor(linkRc2 ? rc : rc2, leak, sampleRate, twoPasses());
    pole1 = first.pole;
    gain1 = first.gain;
    pole2 = second.pole;
    gain2 = second.gain;
    singleSection = !first.on && (!second.on || !twoPasses());
    poleSingle = static_cast<float>(pole2);
    gainSingle = static_cast<float>(gain2);
}

float Tilt::process(float x) {
    // The guard stands on both paths: a NaN must not poison the single-section state either.
    if (!(x >= -inputLimit && x <= inputLimit)) {
        reportNan();
        return 0.0f;
    }
    if (singleSection) {
        const float t = poleSingle * singleStates[0];
        singleStates[0] = gainSingle * x + t;
        return x + t;
    }
    const bool twice = twoPasses();
    float y = x;
    auto pass = [&y](double& s, double pole, double gain) {
        const double t = s * pole;
        s = static_cast<double>(y) * gain + t;
        y = y + static_cast<float>(t);
    };
    pass(states[0], pole1, gain1);
    if (twice) pass(states[2], pole1, gain1);
    pass(states[4], pole2, gain2);
    if (twice) pass(states[6], pole2, gain2);
    return y;
}

void Tilt::reportNan() {
    if (errorRecorder != nullptr) errorRecorder(nanErrorState, nanErrorText);
}

}  // namespace kestrava::audio::soundcard
