#include "platform/AutoResetEvent.h"

namespace kestrava {

void AutoResetEvent::set() {
    {
        std::lock_guard lock(mutex);
        signalled = true;
    }
    condition.notify_one();
}

bool AutoResetEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    if (!condition.wait_for(lock, timeout, [this] { return signalled; })) return false;
    signalled = false;
    return true;
}

void AutoResetEvent::wait() {
    std::unique_lock lock(mutex);
    condition.wait(lock, [this] { return signalled; });
    signalled = false;
}

void AutoResetEvent::reset() {
    std::lock_guard lock(mutex);
    signalled = false;
}

}  // namespace kestrava
