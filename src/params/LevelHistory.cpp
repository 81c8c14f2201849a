#include "params/LevelHistory.h"

#include "params/NumberText.h"

#include <algorithm>

namespace kestrava::params {

namespace {

std::int32_t floorMod(std::int64_t v, std::int32_t m) {
    std::int64_t r = v % m;
    if (r < 0) r += m;
    return static_cast<std::int32_t>(r);
}

}  // namespace

void LevelHistory::push(float main, float second, float limit, float gate) {
    std::lock_guard lock(mutex);
    const auto i = static_cast<std::size_t>(writeIndex_);
    rings[0][i] = main;
    rings[1][i] = second;
    rings[2][i] = limit;
    rings[3][i] = gate;
    writeIndex_ = (writeIndex_ + 1) % points;
}

void LevelHistory::setInterval(float seconds) {
    std::lock_guard lock(mutex);
    interval_ = seconds;
}

void LevelHistory::setMedian(float v) {
    std::lock_guard lock(mutex);
    median_ = v;
}

void LevelHistory::setLimitFlag(bool on) {
    std::lock_guard lock(mutex);
    limitFlag_ = on;
}

float LevelHistory::median() const {
    std::lock_guard lock(mutex);
    return median_;
}

bool LevelHistory::limitFlag() const {
    std::lock_guard lock(mutex);
    return limitFlag_;
}

float LevelHistory::interval() const {
    std::lock_guard lock(mutex);
    return interval_;
}

std::int32_t LevelHistory::writeIndex() const {
    std::lock_guard lock(mutex);
    return writeIndex_;
}

std::int32_t LevelHistory::readPosition(int view) const {
    std::lock_guard lock(mutex);
    return isView(view) ? readPositions[static_cast<std::size_t>(view)] : 0;
}

LevelHistory::Window LevelHistory::readWindow(int view, float span, bool peak) {
    std::lock_guard lock(mutex);
    Window w;
    if (interval_ < 0.0f || !isView(view)) {
        const auto newest = static_cast<std::size_t>(floorMod(writeIndex_ - 1, points));
        w = {rings[0][newest], rings[1][newest], rings[2][newest], rings[3][newest], -1.0f};
        return w;
    }
    const double step = std::max(static_cast<double>(interval_), 1e-10);
    const std::int32_t n = std::clamp(truncToInt32(std::min(static_cast<double>(span) / step, double{points})), 0, points);
    std::int32_t& r = readPositions[static_cast<std::size_t>(view)];
    const std::int32_t e = floorMod(static_cast<std::int64_t>(writeIndex_) - n - 1, points);
    auto pick = [peak](float a, float b) { return peak ? std::max(a, b) : std::min(a, b); };
    float out[4];
    for (int k = 0; k < 4; ++k) out[k] = rings[static_cast<std::size_t>(k)][static_cast<std::size_t>(r)];
    for (std::int32_t i = r; i != e; i = (i + 1) % points) {
        for (int k = 0; k < 4; ++k) {
            out[k] = pick(out[k], rings[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)]);
        }
    }
    const std::int32_t m = truncToInt32(std::min(1.0 / step, static_cast<double>(std::max(points - n, 1))));
    const std::int32_t s = floorMod(static_cast<std::int64_t>(e) - m, points);
    float hold = 0.0f;
    bool first = true;
    for (std::int32_t i = s;; i = (i + 1) % points) {
        const float a = rings[0][static_cast<std::size_t>(i)], b = rings[1][static_cast<std::size_t>(i)];
        const float v = peak ? std::max(a, b) : (b < 0.0f ? a : std::min(a, b));
        hold = first ? v : pick(hold, v);
        first = false;
        if (i == e) break;
    }
    r = e;
    return Window{out[0], out[1], out[2], out[3], hold};
}

}  // namespace kestrava::params
