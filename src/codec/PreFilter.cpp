#include "codec/PreFilter.h"

#include "codec/CodecKernels.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace kestrava::codec {

namespace {

const float levelDecay = 0.99f;
const float levelRise = 1.0f - levelDecay;  // 0x3C23D700, not the float nearest 0.01
const float ratioScale = std::bit_cast<float>(0x3FE8BA2Eu);  // one ulp below the float nearest 20/11
const float levelFloor = 0.001f;
constexpr double highPassFeedback = 0.2159792992;
constexpr double bandC1 = 3.3547207868;
constexpr double bandC2 = -4.2731170649;
constexpr double bandC3 = 2.465807258;
constexpr double bandC4 = -0.548193795;

template <class T>
T sanitise(T v, T limit, T floor) {
    if (v > -limit && v < limit) return v > floor ? v : floor;
    return T(0);
}

// The smaller of v and 1, and 1 when v is not a number.
float capAtOne(float v) { return v < 1.0f ? v : 1.0f; }

float bandReciprocal(float bandLevel) { return 1.0f / (bandLevel > levelFloor ? bandLevel : levelFloor); }

// Samples per pass of the input scaling; keeps the scratch on the stack small.
constexpr std::uint32_t chunk = 256;

}  // namespace

void PreFilter::process(float* samples, std::uint32_t count) { process(samples, count, codecKernels()); }

void PreFilter::process(float* samples, std::uint32_t count, const CodecKernels& kernels) {
    smoothed = sanitise(smoothed, 4e27f, -3.9e27f);
    highLevel = sanitise(highLevel, 4e27f, -3.9e27f);
    bandLevel = sanitise(bandLevel, 4e27f, -3.9e27f);
    highPassLastInput = sanitise(highPassLastInput, 4e27, -3.9e27);
    highPassLastOutput = sanitise(highPassLastOutput, 4e27, -3.9e27);
    // The band-pass rings get the same rule: one non-finite sample would otherwise pin bandLevel
    // at 1 for the life of the codec state.
    for (int i = 0; i < 4; ++i) {
        bandPassInput[i] = sanitise(bandPassInput[i], 4e27, -3.9e27);
        bandPassOutput[i] = sanitise(bandPassOutput[i], 4e27, -3.9e27);
    }

    float q = bandReciprocal(bandLevel);
    double e[chunk];
    double m[chunk];
    for (std::uint32_t start = 0; start < count; start += chunk) {
        const std::uint32_t length = std::min(chunk, count - start);
        float* x = samples + start;
        kernels.preFilterScale(x, e, m, length);
        for (std::uint32_t i = 0; i < length; ++i) {
            const float input = x[i];
            const float r = (q * ratioScale) * highLevel;
            float g = 1.0f;
            if (!(r < 1.0f)) {
                const float t = ((18.0f + r) + r) / ((r * 11.0f) + 9.0f);
                g = t + (1.0f - t) * t;
            }
            smoothed = g * (input - smoothed) + smoothed;
            x[i] = smoothed;

            const double d = (e[i] - highPassLastInput) + highPassFeedback * highPassLastOutput;
            highPassLastInput = e[i];
            highPassLastOutput = d;
            highLevel = capAtOne(std::fabs(static_cast<float>(d)) * levelRise + highLevel * levelDecay);

            const std::int32_t p = ringPos & 3;
            const double y = (((((bandPassInput[p] - 2.0 * bandPassInput[(p + 2) & 3]) + bandC4 * bandPassOutput[p]) +
                                bandC3 * bandPassOutput[(p + 1) & 3]) +
                               bandC2 * bandPassOutput[(p + 2) & 3]) +
                              bandC1 * bandPassOutput[(p + 3) & 3]) +
                             m[i];
            bandPassInput[p] = m[i];
            bandPassOutput[p] = y;
            ringPos = (p + 1) & 3;
            bandLevel = capAtOne(std::fabs(static_cast<float>(y)) * levelRise + bandLevel * levelDecay);
            q = bandReciprocal(bandLevel);
        }
    }
}

}  // namespace kestrava::codec
