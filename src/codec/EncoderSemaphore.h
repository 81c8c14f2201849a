#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kestrava::codec {

// The work/done hand-over between an encoder's feed thread and its worker: a count of units under a
// mutex, a condition variable and a closed state. Everything written before release() is visible to
// the thread that then returns from acquire(). Kept inside the codec library, which sits below the
// audio sources and their semaphore.
class EncoderSemaphore {
public:
    EncoderSemaphore() = default;
    EncoderSemaphore(const EncoderSemaphore&) = delete;
    EncoderSemaphore& operator=(const EncoderSemaphore&) = delete;

    // Adds n units, unlocks, then wakes every waiter.
    void release(std::int32_t n);
    // Waits for one unit or a close. Takes the unit unless closed; the caller learns of a close
    // only through its own run flag.
    void acquire();
    // Sets closed for good, wakes the waiter and sets the count to 0; every later acquire returns at once.
    void close();
    // Observers under the mutex, for tests and diagnostics: a thread waits in acquire(); the units
    // not yet taken.
    bool isWaiting();
    std::int32_t available();

private:
    std::mutex mutex;
    std::condition_variable condition;
    std::int32_t count = 0;
    bool waiting = false;
    bool closed = false;
};

}  // namespace kestrava::codec
