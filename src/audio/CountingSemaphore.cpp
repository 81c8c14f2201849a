#include "audio/CountingSemaphore.h"

#include <chrono>
#include <cmath>

namespace kestrava::audio {

void CountingSemaphore::release(std::int32_t n) {
    {
        std::lock_guard lock(mutex);
        units += n;
    }
    condition.notify_all();
}

bool CountingSemaphore::acquire(std::int32_t n) {
    std::unique_lock lock(mutex);
    while (units < n && !closed && !interrupted) {
        waiting = true;
        condition.wait(lock);
    }
    waiting = false;
    if (closed) return false;
    if (units >= n) {
        units -= n;
        return true;
    }
    interrupted = false;
    return false;
}

void CountingSemaphore::waitAndClear(double seconds) {
    using namespace std::chrono;
    std::unique_lock lock(mutex);
    // A NaN or negative time-out does not wait; a huge one is capped at a year.
    const double limited = (seconds > 0.0) ? std::fmin(seconds, 3.15e7) : 0.0;
    while (true) {
        if (units > 0 || closed) {
            waiting = false;
            units = 0;
            return;
        }
        if (limited <= 0.0) {
            waiting = false;
            return;
        }
        waiting = true;
        const auto deadline = steady_clock::now() + nanoseconds(static_cast<std::int64_t>(limited * 1e9));
        if (condition.wait_until(lock, deadline) == std::cv_status::timeout && units <= 0 && !closed) {
            waiting = false;
            return;
        }
    }
}

void CountingSemaphore::close() {
    std::lock_guard lock(mutex);
    closed = true;
    if (waiting) condition.notify_all();
    units = 0;
}

void CountingSemaphore::clearCount() {
    std::lock_guard lock(mutex);
    units = 0;
}

void CountingSemaphore::interrupt() {
    {
        std::lock_guard lock(mutex);
        interrupted = true;
    }
    condition.notify_all();
}

std::int32_t CountingSemaphore::count() const {
    std::lock_guard lock(mutex);
    return units;
}

bool CountingSemaphore::isWaiting() const {
    std::lock_guard lock(mutex);
    return waiting;
}

bool CountingSemaphore::isClosed() const {
    std::lock_guard lock(mutex);
    return closed;
}

}  // namespace kestrava::audio
