#pragma once

#include "audio/soundcard/SteadyClock.h"

#include <atomic>
#include <cstdint>

// A steady clock the test moves by hand.
class ManualSteadyClock final : public kestrava::audio::soundcard::SteadyClock {
public:
    explicit ManualSteadyClock(std::int64_t startNs = 1'000'000'000) : now(startNs) {}
    std::int64_t nowNs() const override { return now.load(); }
    void set(std::int64_t ns) { now.store(ns); }
    void advanceSeconds(double s) { now.fetch_add(static_cast<std::int64_t>(s * 1e9)); }

private:
    std::atomic<std::int64_t> now;
};
