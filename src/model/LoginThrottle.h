#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <map>
#include <string>

namespace kestrava::model {

// Slows down password guessing per client address: the first few failures are free, then each
// further attempt from that address must wait, twice as long after every new failure (up to a
// cap). A success forgets the address; so does a long quiet spell. The table is bounded: the
// address with the oldest failure is dropped first.
class LoginThrottle {
public:
    static constexpr int freeFailures = 5;
    static constexpr std::int64_t firstWait100ns = 30 * ticksPerSecond;
    static constexpr std::int64_t maxWait100ns = 15 * 60 * ticksPerSecond;
    static constexpr std::int64_t forget100ns = 60 * 60 * ticksPerSecond;
    static constexpr std::size_t maxAddresses = 1024;

    explicit LoginThrottle(const SystemClock& clock = realSystemClock()) : clock(clock) {}

    // Seconds (rounded up) until the address may try again; 0 when it may try now.
    std::int64_t waitSeconds(const std::string& address) const;
    // Records a failure; returns true when this failure starts a wait for the address.
    bool recordFailure(const std::string& address);
    void recordSuccess(const std::string& address) { entries.erase(address); }

private:
    struct Entry {
        int failures = 0;
        std::int64_t lastFailure = 0;
    };
    std::int64_t blockedUntil(const Entry& e) const;
    void prune(std::int64_t now);

    const SystemClock& clock;
    std::map<std::string, Entry> entries;
};

}  // namespace kestrava::model
