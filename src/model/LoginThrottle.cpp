#include "model/LoginThrottle.h"

#include <algorithm>

namespace kestrava::model {

std::int64_t LoginThrottle::blockedUntil(const Entry& e) const {
    if (e.failures < freeFailures) return 0;
    std::int64_t wait = firstWait100ns;
    for (int n = freeFailures; n < e.failures && wait < maxWait100ns; ++n) wait *= 2;
    return e.lastFailure + std::min(wait, maxWait100ns);
}

std::int64_t LoginThrottle::waitSeconds(const std::string& address) const {
    const auto it = entries.find(address);
    if (it == entries.end()) return 0;
    const std::int64_t left = blockedUntil(it->second) - clock.now100ns();
    return left <= 0 ? 0 : (left + ticksPerSecond - 1) / ticksPerSecond;
}

void LoginThrottle::prune(std::int64_t now) {
    std::erase_if(entries, [&](const auto& kv) { return now - kv.second.lastFailure > forget100ns; });
    while (entries.size() >= maxAddresses) {
        const auto oldest = std::min_element(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return a.second.lastFailure < b.second.lastFailure;
        });
        entries.erase(oldest);
    }
}

bool LoginThrottle::recordFailure(const std::string& address) {
    const std::int64_t now = clock.now100ns();
    if (entries.find(address) == entries.end()) prune(now);
    Entry& e = entries[address];
    if (now - e.lastFailure > forget100ns) e.failures = 0;
    ++e.failures;
    e.lastFailure = now;
    return e.failures >= freeFailures;
}

}  // namespace kestrava::model
