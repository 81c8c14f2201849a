#include "model/AutosaveSchedule.h"

#include <algorithm>

namespace kestrava::model {

std::int64_t AutosaveSchedule::nextWaitMs(std::int64_t nowMs) const {
    if (!waiting) return restMs;
    return std::clamp<std::int64_t>(firstPendingMs + latestMs - nowMs, 0, restMs);
}

bool AutosaveSchedule::afterWait(bool signalled, bool pending, std::int64_t nowMs) {
    if (!pending) {
        // Saved elsewhere meanwhile (a save clears the flag and signals), or nothing changed.
        waiting = false;
        return false;
    }
    if (!waiting) {
        waiting = true;
        firstPendingMs = nowMs;
    }
    if (signalled && nowMs - firstPendingMs < latestMs) return false;  // a new quiet period
    waiting = false;
    return true;
}

}  // namespace kestrava::model
