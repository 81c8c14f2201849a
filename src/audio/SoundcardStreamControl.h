#pragma once

#include <cstdint>

namespace kestrava::audio {

// What choosing a sound card needs of the stream part of a sound-card source.
class SoundcardStreamControl {
public:
    virtual ~SoundcardStreamControl() = default;
    // Stores the device index, sets the open-attempt counter to 0 and raises the reopen request
    // (each by an atomic exchange), then releases one unit of the stream's semaphore, which wakes
    // its worker to reopen the device. The index is checked when the device is opened.
    virtual void requestDevice(std::int32_t index) = 0;
    // The stream is active (started by the controller's enable).
    virtual bool isActive() const = 0;
    // Its worker thread is running.
    virtual bool workerRunning() const = 0;
    // Starts the stream (stopping it first when active) and launches a new worker.
    virtual void start() = 0;
};

}  // namespace kestrava::audio
