#pragma once

#include "params/LevelHistory.h"
#include "params/MeterTagList.h"
#include "params/Param.h"

#include <array>
#include <mutex>
#include <string>

namespace kestrava::params {

// The six values of a meter, named as the "/json" reply names them.
struct MeterValues {
    float main = 0, second = 0, limit = 0, gate = 0, median = 0, releaseHold = 0;
    bool operator==(const MeterValues&) const = default;
};

// What the client's scale shows, written after the title of an expanded meter: the origin (a
// level) and five numbers (scale type, range, start, primary and secondary step).
struct MeterScale {
    float origin = 0.0f;
    std::int32_t range = 60, start = 0, primaryStep = 10, secondaryStep = 5;
    void write(int scaleType, class WordWriter& out) const;
};

// A one-channel bar meter (widget DISPLAYONE), read-only, without a stored value. It keeps, per
// view, the values pending since the view's last refresh and the values sent to it, so every
// client sees the extreme since its own last poll. Values come from a level history (or are set
// by the owner when there is none).
class PMeter : public Param {
public:
    static constexpr int kindCode = 14;

    struct Options {
        int scaleType = 0;  // 1: decibel read-out
        float dbScale = 1.0f;
        std::int32_t dbRange = -60;
        bool alwaysRefresh = false;
        bool peakMode = true;  // windows take maxima (minima when off)
        std::int32_t color = -1;  // -1: derived from the second value on the wire
        std::string secondText;
        MeterScale scale;
    };

    PMeter(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::string_view name, LevelHistory* history,
           Options options);

    // Pulls the view's window (span: how far the window end trails the newest point, seconds)
    // and marks the view when something changed; -1 refreshes every view.
    void refresh(int view, float span);
    // The values set by the owner when there is no history.
    void setPending(int view, const MeterValues& v);
    void setColor(std::int32_t color) { color_.store(color); }

    // The sent values of a view, guarded (bad values become 0 and are reported) and converted
    // to the decibel scale when the meter has one.
    MeterValues getMeterClientValues(int view) const;

    std::int32_t color() const { return color_.load(); }
    std::int32_t dbRange() const { return options.dbRange; }
    int scaleType() const { return options.scaleType; }
    std::string secondText() const;
    static MeterTagList& tagList();

    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override;
    void retranslate() override;
    void exportTexts(TextExport& out) const override;

private:
    bool refreshView(int view, float span);

    const Options options;
    LevelHistory* const history;
    std::atomic<std::int32_t> color_;
    std::int32_t colorAtChange;
    std::string secondTranslated;  // under textMutex
    mutable std::mutex valuesMutex;
    std::array<MeterValues, viewCount> pending{};
    std::array<MeterValues, viewCount> sent{};
};

}  // namespace kestrava::params
