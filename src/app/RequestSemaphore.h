#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Counts posted requests; one thread takes them one at a time.
class RequestSemaphore {
public:
    // Adds n and wakes every waiter.
    void release(std::int32_t n = 1);
    // Waits until a request is counted (or the semaphore is closed) and takes one; false when
    // it was closed with none counted.
    bool acquire();
    void close();
    std::int32_t count() const;

private:
    mutable std::mutex mutex;
    std::condition_variable condition;
    std::int32_t counted = 0;
    bool closed = false;
};
