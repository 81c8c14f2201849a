#pragma once

#include <cstdint>

namespace kestrava::audio::demod {

// The gain curve of one band of a 4096-point real spectrum in CCS layout (element 2k the real,
// 2k+1 the imaginary part of bin k, bin k at k * rate / 4096 Hz), with the three element bounds
// that let the masking leave the pass band alone and clear the stop band:
//   multiply 0..passStart, multiply passEnd..zeroStart, clear zeroStart..4096 (all inclusive).
// Once built: every gain strictly between passStart and passEnd is 1.0, all bounds are multiples
// of 8, zeroStart <= 4096, and every gain from zeroStart on is below 2^-19 or 0.
struct BandMask {
    static constexpr std::uint32_t spectrumFloats = 4098;
    static constexpr std::uint32_t bufferFloats = 4128;

    BandMask(std::int32_t lowHz, std::int32_t highHz, std::int32_t rollOffHz);

    // Rebuilds the gains and bounds for a sample rate (Hz) unless they were built for it already.
    // The caller keeps the rate within the range the demodulator accepts.
    void setSampleRate(std::uint32_t rate);

    const std::int32_t lowHz;
    const std::int32_t highHz;
    const std::int32_t rollOffHz;
    std::uint32_t sampleRate = 0;
    alignas(64) float gains[bufferFloats];
    // An unbuilt mask passes nothing: its gains are 0 and element 0 is its only multiplied run.
    std::uint32_t passStart = 0;
    std::uint32_t passEnd = 0;
    std::uint32_t zeroStart = 0;
};

}  // namespace kestrava::audio::demod
