// When the autosave writes, on a simulated clock: the thread's loop (wait for a change signal
// with the schedule's time-out, then ask the schedule) replayed against a list of change times.
#include "model/AutosaveSchedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using kestrava::model::AutosaveSchedule;

namespace {

constexpr std::int64_t s = 1000;  // milliseconds

struct Event {
    std::int64_t at;
    enum { change, saveElsewhere } what;
};

// The save times of the loop up to `endMs`; a save elsewhere clears the pending flag and signals.
std::vector<std::int64_t> autosaves(const std::vector<Event>& events, std::int64_t endMs, bool failingSaves = false) {
    AutosaveSchedule schedule;
    std::vector<std::int64_t> saves;
    std::int64_t now = 0;
    bool pending = false;
    std::size_t next = 0;
    while (now < endMs) {
        const std::int64_t wait = schedule.nextWaitMs(now);
        bool signalled = false;
        if (next < events.size() && events[next].at <= now + wait) {
            now = events[next].at;
            pending = events[next].what == Event::change;
            signalled = true;
            ++next;
        } else {
            now += wait;
        }
        if (now > endMs) break;
        if (schedule.afterWait(signalled, pending, now)) {
            saves.push_back(now);
            // A failed save marks the settings pending again (its own signal wakes the loop at once).
            pending = failingSaves;
            if (failingSaves) schedule.afterWait(true, pending, now);
        }
    }
    return saves;
}

std::vector<Event> changesEvery(std::int64_t period, std::int64_t from, std::int64_t to) {
    std::vector<Event> e;
    for (std::int64_t t = from; t <= to; t += period) e.push_back({t, Event::change});
    return e;
}

}  // namespace

TEST(AutosaveSchedule, SavesAfterThirtyQuietSecondsAndAtTheLatestAfterFiveMinutes) {
    const struct {
        const char* name;
        std::vector<Event> events;
        std::int64_t end;
        std::vector<std::int64_t> saves;
    } cases[] = {
        {"nothing changes", {}, 600 * s, {}},
        {"one change", {{7 * s, Event::change}}, 600 * s, {37 * s}},
        {"a burst costs one write", changesEvery(2 * s, 10 * s, 40 * s), 600 * s, {70 * s}},
        {"a change every 20 s for two minutes", changesEvery(20 * s, 0, 120 * s), 600 * s, {150 * s}},
        // Never 30 s of quiet: written 5 minutes after the first unsaved change, again and again.
        {"a change every 20 s for ever", changesEvery(20 * s, 0, 900 * s), 900 * s, {300 * s, 620 * s}},
        {"saved elsewhere meanwhile", {{5 * s, Event::change}, {20 * s, Event::saveElsewhere}}, 600 * s, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(autosaves(c.events, c.end), c.saves) << c.name;
}

TEST(AutosaveSchedule, AFailedSaveIsTriedAgainAfterTheNextQuietPeriod) {
    EXPECT_EQ(autosaves({{0, Event::change}}, 100 * s, true), (std::vector<std::int64_t>{30 * s, 60 * s, 90 * s}));
}
