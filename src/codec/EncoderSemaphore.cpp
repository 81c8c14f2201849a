#include "codec/EncoderSemaphore.h"

namespace kestrava::codec {

void EncoderSemaphore::release(std::int32_t n) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        count += n;
    }
    condition.notify_all();
}

void EncoderSemaphore::acquire() {
    std::unique_lock<std::mutex> lock(mutex);
    while (count <= 0 && !closed) {
        waiting = true;
        condition.wait(lock);
    }
    waiting = false;
    if (!closed) --count;
}

void EncoderSemaphore::close() {
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
    // Notified under the lock: the destructor may run right after close() returns.
    condition.notify_all();
    count = 0;
}

bool EncoderSemaphore::isWaiting() {
    std::lock_guard<std::mutex> lock(mutex);
    return waiting;
}

std::int32_t EncoderSemaphore::available() {
    std::lock_guard<std::mutex> lock(mutex);
    return count;
}

}  // namespace kestrava::codec
