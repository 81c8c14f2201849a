#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kestrava::audio {

// The hand-over object between two threads: a count of available units under a mutex, a
// condition variable to wait on, and a closed state that lets the waiter go when its owner shuts
// down. One thread consumes at a time (`waiting` is a single flag); any thread may release.
// Everything a thread wrote before release() is visible to the thread that then returns from
// acquire() or waitAndClear(): both pass through the mutex.
class CountingSemaphore {
public:
    CountingSemaphore() = default;
    CountingSemaphore(const CountingSemaphore&) = delete;
    CountingSemaphore& operator=(const CountingSemaphore&) = delete;

    // Adds n units, then wakes every waiter. Works on a closed semaphore too (it stays closed).
    void release(std::int32_t n);

    // Waits until at least n units are there (signed comparison), then takes them and returns
    // true. Returns false without taking anything once the semaphore is closed, or once after an
    // interrupt(). A partial count is never taken.
    bool acquire(std::int32_t n);

    // Waits at most `seconds` (steady clock) for at least one unit or a close, then takes all
    // units. A time-out leaves the count alone; a close sets it to 0; seconds <= 0 does not wait.
    void waitAndClear(double seconds);

    // Sets closed for good, wakes the waiter and sets the count to 0. Every later acquire()
    // returns at once without taking anything.
    void close();

    // Sets the count to 0; wakes nobody.
    void clearCount();

    // Makes the waiting acquire(), or the next one, return false without taking units: the owner
    // uses it to hand its consumer a request (such as a reset) that the count cannot carry.
    void interrupt();

    // Observers, each under the mutex.
    std::int32_t count() const;
    bool isWaiting() const;
    bool isClosed() const;

private:
    mutable std::mutex mutex;
    std::condition_variable condition;
    std::int32_t units = 0;
    bool waiting = false;
    bool closed = false;
    bool interrupted = false;
};

}  // namespace kestrava::audio
