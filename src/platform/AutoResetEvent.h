#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kestrava {

// An event that wakes one waiter and then resets itself. A set() with nobody waiting is kept
// until the next wait, so a wake-up between a check and a wait is never lost.
class AutoResetEvent {
public:
    void set();
    // Waits until set; true when the event was set, false on time-out.
    bool waitFor(std::chrono::milliseconds timeout);
    void wait();
    void reset();

private:
    std::mutex mutex;
    std::condition_variable condition;
    bool signalled = false;
};

}  // namespace kestrava
