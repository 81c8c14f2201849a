#pragma once

#include "params/PWave.h"

namespace kestrava::params {

// The spectrum of the composite input up to 62 kHz (widget MPX): a windowed FFT of the last
// 8192 samples drawn as a logarithmic magnitude curve, 90 dB over the canvas height. It keeps
// the wave's history check, canvas and per-view refresh; it does not zoom, and its value (the
// span, -8192: 8192 samples) never changes.
class PMpx : public PWave {
public:
    static constexpr int maxWidth = 1024;
    static constexpr int maxHeight = 1023;
    static constexpr std::int32_t defaultFrequency = 62000;
    static constexpr float fullScaleSum = 110000000.0f;  // three-bin magnitude sum at the top row

    PMpx(ParamOwner& owner, std::uint32_t viewMask, ParamId id, OldSamples* history, const ShortKey& shortKey = {},
         const NamePair& section = {}, const NamePair& key = {});

    std::int32_t maxFrequency() const noexcept { return maxFrequency_; }
    // Transforms the view's newest span (t seconds back) and plots it into the canvas's columns
    // 0..w-1; returns the columns to send (fewer when the band has fewer bins than columns).
    std::int32_t drawSpectrum(DisplayCanvas& canvas, int view, float t, int w, int h);

    // Bins of an n-sample transform below maxFrequency at the history's rate (samples per second
    // over the decimation, at least 1); at most n.
    static std::int32_t binsBelow(std::int32_t n, float rate, std::int32_t decimation, std::int32_t maxFrequency);
    // The row of a point whose magnitude plus its two lower neighbours' is `threeBinSum`: the
    // top row at 110,000,000, 0.2222 of the height lower per factor of 10, the bottom at most.
    static float rowOfSum(float threeBinSum, int h);

    std::int32_t takeNewSampleCount(int) override { return -1; }
    bool isFineMode() const override { return true; }  // made with fine mode allowed
    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    std::string formatValue(int, const float&) const override { return {}; }
    bool isKindSupported() const override { return kind() == 19; }

private:
    const std::int32_t maxFrequency_ = defaultFrequency;
};

}  // namespace kestrava::params
