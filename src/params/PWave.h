#pragma once

#include "params/ValueParam.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

class OldSamples;

namespace kestrava::params {

class DisplayCanvas;

// An oscilloscope trace of the recent input (widget WAVE). The value is the span shown: seconds
// when positive, samples when negative; the browser changes it by zooming. The picture is drawn
// on the server from a sample history into the web server's canvas and sent as band words per
// column, from the first column whose samples are new (or the whole width after a zoom, a span
// change, in fine mode or for a forced request).
//
// A follower wave (one that names a master) shows the master's span and instant in its own
// history: zooming it zooms the master, and its alignment copies the master's.
//
// The history is borrowed and outlives the wave; without one every operation reports no data.
// The per-view state belongs to the web worker that serves the view (one at a time).
class PWave : public ValueParam<float> {
public:
    static constexpr int waveKind = 17;
    static constexpr int maxWidth = 2048;
    static constexpr int maxHeight = 2047;
    static constexpr int maxFollowers = 5;
    static constexpr float minSpan = 0.0025f;
    static constexpr float maxSpan = 10.0f;
    static constexpr float fineSpan = 0.06f;  // below it the trace is aligned on its peaks
    static constexpr std::int32_t maxSamples = 7680000;
    static constexpr std::int32_t neutralZoom = 32768;

    PWave(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, OldSamples* history, PWave* master,
          float initialValue, bool fineModeAllowed, bool fixedSearchWindow, const ShortKey& shortKey = {},
          const NamePair& section = {}, const NamePair& key = {});
    ~PWave() override = default;

    OldSamples* history() const noexcept { return history_; }
    PWave* master() const noexcept { return master_; }
    int followerCount() const noexcept { return followerCount_; }
    // The span value, through the master when linked.
    float span(int kind = ValueKind::current) const;
    // The span in samples: -value when negative, else value x the history's rate; 0 without one.
    std::int32_t getScaledLevel() const;

    // Zooming: the top wave of the chain takes value x factor (capped at 10 s, 0.0025 s at
    // least, a value near 5 s becomes 6.4 s); true when the value changed.
    bool setZoomFactor(float factor);
    bool applyZoomFactor(float factor);

    // The largest magnitude among the 1,024 samples that end 256 samples (plus 1,024 for each
    // further multiple of 192 kHz in the history's rate) before the view's captured position, in
    // the history's units (32,768 is full scale); 0 without a history or with too short a one.
    float ringPeak(int view) const;
    // Asks the history for room for n samples reaching t seconds back; true when it has it.
    virtual bool reserveHistory(int view, float t, std::int32_t n);
    // Samples new to the view since the last call, or -1 for "draw the whole window".
    virtual std::int32_t takeNewSampleCount(int view);
    virtual bool isRateRatioNatural() const { return false; }
    // Short spans of a fine-mode wave are redrawn whole every time.
    virtual bool isFineMode() const;

    // Centres the view's window on the newest peak of the smoothed signal (spans below 0.06 s)
    // and counts the view's new samples.
    void alignToPeak(int view, float t, std::int32_t n);
    // Copies the view's window of n samples into scratch[max(skip-1,0) .. n-1].
    void fetchWindow(int view, float* scratch, std::int32_t n, std::int32_t skip);
    float triggerOffset(int view) const { return isView(view) ? triggerOffset_[view] : 0.0f; }

    // The per-view lock of the drawing, with its wait (500 ms; tests shorten it).
    std::timed_mutex& viewMutex(int view) { return viewMutexes[static_cast<std::size_t>(view)]; }
    std::chrono::milliseconds viewWait{500};

    bool hasGraph() const override { return true; }
    bool isWaveform() const override { return true; }
    void pollGraph(int view, std::int32_t clientValue) override;
    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;

    std::string formatValue(int view, const float& v) const override;
    std::string valueText(int view, int kind) const override { return formatValue(view, span(kind)); }
    float parseText(int index, std::string_view text) const override;
    float valueFromSliderPosition(int view, float position) const override;
    bool isKindSupported() const override { return kind() == 17 || kind() == 19 || kind() == 42; }
    std::string saveText(int index) const override;
    std::string displayText() const override;
    float sliderPosition(int view) const override;

protected:
    // Reads the canvas size (and the zoom word for waves) of a request group: values 1 and 2 are
    // width and height (a height of 0 makes the width 0), the zoom word is value 3, or value 1
    // alone. Returns the zoom word when there is one.
    std::optional<std::int32_t> readCanvasSize(const RequestValues& values, WidgetContext& widget, int widthLimit,
                                               int heightLimit) const;
    // The conditions under which a display sends no picture.
    bool drawable(int clientView) const;
    // The history's samples per second, at least 1 (a rate not yet measured counts as 1).
    float historyRate() const;

    std::atomic<bool> fullRedraw{true};

private:
    void countNewSamples(int view, std::int32_t shift, std::int32_t ringLength);
    void markPolled(int view);

    OldSamples* const history_;
    const bool fineModeAllowed;
    std::array<std::int32_t, viewCount> lastReadPosition{};
    PWave* const master_;
    int followerCount_ = 0;
    std::array<PWave*, maxFollowers> followers{};
    std::array<float, viewCount> triggerOffset_{};
    const bool fixedSearchWindow;
    std::array<float, viewCount> lastSpan;
    std::array<std::timed_mutex, viewCount> viewMutexes;
    std::array<bool, viewCount> pollReady{};
};

}  // namespace kestrava::params
