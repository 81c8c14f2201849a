#pragma once

#include "audio/soundcard/SteadyClock.h"

#include <atomic>
#include <cstdint>

namespace kestrava::audio::soundcard {

// The small base of everything that produces audio callbacks: it stamps the time of every
// delivered block (the watchdog reads it) and keeps the provider's active state.
class AudioCallbackProvider {
public:
    AudioCallbackProvider(const SteadyClock& clock, std::int32_t channelCount, std::uint32_t sampleRate);
    virtual ~AudioCallbackProvider() = default;
    AudioCallbackProvider(const AudioCallbackProvider&) = delete;
    AudioCallbackProvider& operator=(const AudioCallbackProvider&) = delete;

    virtual void start() { active = true; }
    virtual void stop() { active = false; }
    bool isActive() const { return active; }

    // At the start of every callback: stamps the time, clears the per-block flags.
    void deliver();

    std::int64_t lastCallbackTimeNs() const { return lastCallbackNs.load(); }
    bool hasStatusError() const { return statusError.load(std::memory_order_relaxed); }

    const std::int32_t channelCount;
    const std::uint32_t sampleRate;

protected:
    const SteadyClock& clock;
    std::atomic<std::int64_t> lastCallbackNs;
    // Set just before a newly opened stream starts; the next delivery clears it.
    std::atomic<bool> firstCallbackPending{false};
    std::atomic<bool> statusError{false};
    bool active = false;  // the controlling thread's
};

}  // namespace kestrava::audio::soundcard
