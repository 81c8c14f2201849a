#pragma once

#include "audio/soundcard/AudioBackend.h"

#include <atomic>

class KestravaInstanceConfig;

namespace kestrava::audio::soundcard {

// One initialisation of the audio library, owned by the wrapper thread: initialises on
// construction and terminates on destruction when the initialisation had succeeded. Failures are
// reported through the configuration the wrapper currently reports to (none: not reported).
class PortaudioInitializer {
public:
    PortaudioInitializer(AudioBackend& backend, const std::atomic<KestravaInstanceConfig*>& config);
    ~PortaudioInitializer();
    PortaudioInitializer(const PortaudioInitializer&) = delete;
    PortaudioInitializer& operator=(const PortaudioInitializer&) = delete;

    bool isInitialized() const { return initialized; }

private:
    AudioBackend& backend;
    const std::atomic<KestravaInstanceConfig*>& config;
    bool initialized = false;
};

}  // namespace kestrava::audio::soundcard
