#pragma once

#include "params/PMeter.h"

#include <optional>

namespace kestrava::params {

// A two-channel bar meter (widget DISPLAYTWO): channel 0 and channel 1 side by side, each from
// its own level history, with a clip hold that shows a channel in the clip colour for 30 state
// writes after it reached full scale (mode 1) or a threshold (mode 2). The hold counts are
// shared by all views.
class PDualMeter : public Param {
public:
    static constexpr int kindCode = 15;
    static constexpr float holdWrites = 30.0f;
    static constexpr float fullScale = 0.9999542f;

    struct Options {
        int scaleType = 0;
        float dbScale = 1.0f;
        bool peakMode = true;
        std::int32_t baseColor = 0;
        int clipMode = 0;  // 1 full scale, 2 threshold, else none
        std::int32_t clipColor = 16;
        float clipThreshold = 1.0f;
        MeterScale scale;
    };
    using Pair = std::array<MeterValues, 2>;
    // The read-out in wire order: main 0, main 1, 2nd 0, 2nd 1, limit 0, limit 1, gate 0, gate 1,
    // median 0, median 1, release_hold 0, release_hold 1.
    using ClientValues = std::array<float, 12>;

    PDualMeter(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::string_view name, LevelHistory* channel0,
               LevelHistory* channel1, Options options);

    void refresh(int view, float span);
    void setPending(int view, const Pair& v);
    void setColorOverride(std::optional<std::int32_t> color);
    // The next refresh of the view counts as a change.
    void force(int view);
    ClientValues getDualMeterClientValues(int view) const;
    float holdCount(int channel) const;
    static MeterTagList& tagList();

    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override { options.scale.write(options.scaleType, out); }

private:
    bool refreshView(int view, float span);
    std::int32_t channelColor(int c) const;

    const Options options;
    const std::array<LevelHistory*, 2> histories;
    mutable std::mutex valuesMutex;  // guards everything below
    std::array<Pair, viewCount> pending{};
    std::array<Pair, viewCount> sent{};
    std::array<bool, viewCount> forceFlags{};
    std::optional<std::int32_t> colorOverride;
    std::array<float, 2> hold{};
    std::array<bool, 2> clipFlags{};
    bool channel1LimitLinear = false;
};

}  // namespace kestrava::params
