#pragma once

#include "params/ViewFlags.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace kestrava::params {

// The level history behind a meter: 1500 points of four values (main, second, limit, gate), one
// point per interval, with a read position per view so that every client sees the extreme of
// everything since its own last read. A negative interval is live mode: only the newest point
// counts. The signal side pushes points; the meters read windows. A small mutex keeps a window
// whole while a point is pushed.
class LevelHistory {
public:
    static constexpr int points = 1500;

    struct Window {
        float main = 0, second = 0, limit = 0, gate = 0, releaseHold = 0;
    };

    // Writer: one point at the write index, which moves on (wrapping).
    void push(float main, float second, float limit, float gate);
    void setInterval(float seconds);
    void setMedian(float v);
    void setLimitFlag(bool on);
    float median() const;
    bool limitFlag() const;
    float interval() const;

    // The view's window up to `span` seconds before the newest point, maximum (peak) or minimum
    // of each value, and the release-hold value over the last second; the view's read position
    // moves to the window's end (not in live mode).
    Window readWindow(int view, float span, bool peak);

    std::int32_t writeIndex() const;
    std::int32_t readPosition(int view) const;

private:
    mutable std::mutex mutex;
    std::array<std::array<float, points>, 4> rings{};
    std::int32_t writeIndex_ = 0;
    std::array<std::int32_t, viewCount> readPositions{};
    float interval_ = -1.0f;
    float median_ = 0.0f;
    bool limitFlag_ = false;
};

}  // namespace kestrava::params
