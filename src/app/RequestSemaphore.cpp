#include "app/RequestSemaphore.h"

void RequestSemaphore::release(std::int32_t n) {
    {
        std::lock_guard lock(mutex);
        counted += n;
    }
    condition.notify_all();
}

bool RequestSemaphore::acquire() {
    std::unique_lock lock(mutex);
    condition.wait(lock, [this] { return counted > 0 || closed; });
    if (counted == 0) return false;
    --counted;
    return true;
}

void RequestSemaphore::close() {
    {
        std::lock_guard lock(mutex);
        closed = true;
    }
    condition.notify_all();
}

std::int32_t RequestSemaphore::count() const {
    std::lock_guard lock(mutex);
    return counted;
}
