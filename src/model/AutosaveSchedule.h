#pragma once

#include <cstdint>

namespace kestrava::model {

// When the autosave writes: once changes have rested for 30 s, and at the latest 5 minutes after
// the first change that is still unsaved, so that a steady trickle of changes cannot hold the
// file back for ever. Pure decisions over the times the caller passes (milliseconds of any
// steady clock); the autosave thread feeds it the real clock, tests a simulated one.
class AutosaveSchedule {
public:
    static constexpr std::int64_t restMs = 30'000;
    static constexpr std::int64_t latestMs = 5 * 60'000;

    // How long the thread waits for the next change signal.
    std::int64_t nextWaitMs(std::int64_t nowMs) const;
    // After a wait that was ended by a signal (or by its time-out): true when a save is due now.
    bool afterWait(bool signalled, bool pending, std::int64_t nowMs);

private:
    bool waiting = false;  // a change is pending since firstPendingMs
    std::int64_t firstPendingMs = 0;
};

}  // namespace kestrava::model
