#pragma once

#include <cstdint>

namespace kestrava::platform {

// Keeps a message that can repeat per packet from flooding the log: the first occurrence is
// reported, later ones only once per period, together with how many were held back meanwhile.
// Not thread-safe: each throttle belongs to one thread.
class MessageThrottle {
public:
    static constexpr std::int64_t defaultPeriodNs = 10'000'000'000;

    explicit MessageThrottle(std::int64_t periodNs = defaultPeriodNs) : periodNs(periodNs) {}

    // True when this occurrence should be reported; `suppressed` then holds the number of
    // occurrences held back since the last report.
    bool shouldReport(std::int64_t nowNs, std::uint32_t& suppressed) {
        if (!reported || nowNs - lastReportNs >= periodNs) {
            suppressed = heldBack;
            heldBack = 0;
            lastReportNs = nowNs;
            reported = true;
            return true;
        }
        ++heldBack;
        return false;
    }

    // Forgets the history: the next occurrence is reported at once (after the condition cleared).
    void reset() {
        reported = false;
        heldBack = 0;
    }

private:
    std::int64_t periodNs;
    std::int64_t lastReportNs = 0;
    std::uint32_t heldBack = 0;
    bool reported = false;
};

}  // namespace kestrava::platform
