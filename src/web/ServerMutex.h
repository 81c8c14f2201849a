#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kestrava::web {

// The web server's mutex around every request that touches the instance: waits are bounded.
// (A plain mutex and a condition variable: the C library's timed locks escape the thread
// sanitizer's bookkeeping.)
class ServerMutex {
public:
    static constexpr std::chrono::milliseconds defaultWait{2000};

    bool tryLockFor(std::chrono::milliseconds wait) {
        std::unique_lock lock(guard);
        if (!freed.wait_for(lock, wait, [&] { return !locked; })) return false;
        locked = true;
        return true;
    }
    void unlock() {
        {
            std::lock_guard lock(guard);
            locked = false;
        }
        freed.notify_one();
    }

private:
    std::mutex guard;
    std::condition_variable freed;
    bool locked = false;
};

// Holds the server mutex if the bounded wait got it, and releases only what it got, once.
class ServerLock {
public:
    ServerLock(ServerMutex& mutex_, std::chrono::milliseconds wait) : mutex(mutex_), owned(mutex_.tryLockFor(wait)) {}
    ~ServerLock() { release(); }
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

    bool owns() const { return owned; }
    void release() {
        if (owned) {
            owned = false;
            mutex.unlock();
        }
    }

private:
    ServerMutex& mutex;
    bool owned;
};

}  // namespace kestrava::web
