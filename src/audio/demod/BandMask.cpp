#include "audio/demod/BandMask.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace kestrava::audio::demod {

namespace {

constexpr float negligibleGain = 0x1p-19f;
constexpr std::uint32_t topBin = 2048;

}  // namespace

BandMask::BandMask(std::int32_t lowHz, std::int32_t highHz, std::int32_t rollOffHz)
    : lowHz(lowHz), highHz(highHz), rollOffHz(rollOffHz) {
    std::fill(std::begin(gains), std::end(gains), 0.0f);
}

void BandMask::setSampleRate(std::uint32_t rate) {
    if (rate == sampleRate) return;
    sampleRate = rate;
    std::fill(gains, gains + spectrumFloats - 1, 1.0f);

    const float binWidth = static_cast<float>(rate) * 0x1p-12f;
    const auto lo = static_cast<std::uint32_t>(std::floor(static_cast<float>(lowHz) / binWidth));
    const auto hi = static_cast<std::uint32_t>(std::ceil(static_cast<float>(highHz) / binWidth));
    const float widthInBins = std::max(static_cast<float>(rollOffHz), binWidth) / binWidth;
    const float t = 1.0f - 1.0f / widthInBins;
    const double td = t;
    const float d = std::max(0.25f, static_cast<float>(std::sqrt(td) * td * td));

    passStart = (2 * lo + 7) & ~7u;
    passEnd = (2 * hi + 2) & ~7u;

    // Above the band: a running product 1, d, d*d, ...; the first gain below 2^-19 is kept, every
    // gain after it is 0, and the stop band starts at that bin.
    std::uint32_t cut = 2 * topBin;
    if (2 * hi <= 2 * topBin) {
        float g = 1.0f;
        for (std::uint32_t k = hi; k <= topBin; ++k) {
            gains[2 * k] = g;
            gains[2 * k + 1] = g;
            if (g < negligibleGain) {
                cut = std::min(cut, 2 * k);
                g = 0.0f;
            }
            g = g * d;
        }
    }
    zeroStart = (cut + 7) & ~7u;

    // Below the band, from bin lo down to bin 0; bins beyond the spectrum are not written.
    if (lo >= 2) {
        float g = 1.0f;
        for (std::uint32_t k = lo + 1; k-- > 0;) {
            if (k <= topBin) {
                gains[2 * k] = g;
                gains[2 * k + 1] = g;
            }
            if (g < negligibleGain) g = 0.0f;
            g = g * d;
        }
    }
}

}  // namespace kestrava::audio::demod
