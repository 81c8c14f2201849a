#include "audio/demod/RampTables.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace kestrava::audio::demod {

namespace {

// One point of the fade curve's rising flank, in the exact operation order the decoder side
// reproduces: odd multiple of pi/2048 in single precision, cosine in double, the rest single.
float fadePoint(int m) {
    const float step = static_cast<float>(std::numbers::pi / 2048.0);  // 0.0015339808f
    const float t = static_cast<float>((m + 1) + m) * step;
    const float c = static_cast<float>(std::cos(static_cast<double>(t)));
    const float v = 0.5f - 0.5f * c;
    const float p = std::pow(v, 1.71f);
    return std::max(p, 1e-13f) / 0.61132103f;
}

}  // namespace

RampTables::RampTables() {
    std::fill(std::begin(analysisWindow), std::end(analysisWindow), 1.0f);
    std::fill(std::begin(synthesisWindow), std::end(synthesisWindow), 1.0f);

    // Raised-cosine flanks, evaluated half a sample off the grid so that no entry is 0 or 1.
    for (std::size_t n = 0; n < flank; ++n) {
        const double c = std::cos((static_cast<double>(n) + 0.5) * (std::numbers::pi / 1024.0));
        const float a = static_cast<float>(0.5 * (1.0 - c));
        analysisWindow[n] = a;
        analysisWindow[length - 1 - n] = a;
    }

    // The fade curve C, built in synthesisWindow: the outer halves of both flanks from the curve,
    // the inner halves as complements, so that C[n] + C[n + 3072] = 1 exactly where it matters.
    float* fade = synthesisWindow;
    for (int n = 0; n < 512; ++n) fade[n] = fadePoint(n);
    for (int n = 3584; n < 4096; ++n) fade[n] = fadePoint(n - 2048);
    for (int k = 0; k < 512; ++k) fade[512 + k] = 1.0f - fade[3584 + k];
    for (int k = 0; k < 512; ++k) fade[3072 + k] = 1.0f - fade[k];

    for (std::size_t n = 0; n < length; ++n) synthesisWindow[n] = fade[n] / analysisWindow[n];
}

}  // namespace kestrava::audio::demod
