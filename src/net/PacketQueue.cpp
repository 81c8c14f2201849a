#include "net/PacketQueue.h"

#include <algorithm>
#include <cstring>

namespace TRP = kestrava::transport::TRP;

namespace kestrava::net {

bool PacketQueue::push(const std::uint8_t* data, std::uint32_t length, TRP::Priority priority,
                       std::int64_t enqueueTimeNs) {
    const std::uint32_t n = std::min(length, SenderSlot::capacity);
    {
        std::lock_guard lock(mutex);
        if (count >= slotCount) return false;
        SenderSlot& slot = slots[writeIndex];
        if (n > 0) std::memcpy(slot.data, data, n);
        std::memset(slot.data + n, 0, SenderSlot::capacity - n);
        slot.length = n;
        slot.priority = priority;
        slot.enqueueTime = enqueueTimeNs;
        writeIndex = (writeIndex + 1) % slotCount;
        ++count;
    }
    changed.notify_all();
    return true;
}

bool PacketQueue::pop(SenderSlot& out) {
    std::lock_guard lock(mutex);
    if (count == 0) return false;
    std::memcpy(&out, &slots[readIndex], sizeof out);
    readIndex = (readIndex + 1) % slotCount;
    --count;
    return true;
}

bool PacketQueue::dropHead() {
    std::lock_guard lock(mutex);
    if (count == 0) return false;
    readIndex = (readIndex + 1) % slotCount;
    --count;
    return true;
}

PacketQueue::HeadInfo PacketQueue::head() const {
    std::lock_guard lock(mutex);
    HeadInfo info;
    info.count = count;
    if (count == 0) return info;
    info.priority = slots[readIndex].priority;
    for (std::uint32_t i = 0; i < count; ++i) info.queuedBytes += slots[(readIndex + i) % slotCount].length;
    info.newestEnqueueTime = slots[(readIndex + count - 1) % slotCount].enqueueTime;
    return info;
}

std::uint32_t PacketQueue::size() const {
    std::lock_guard lock(mutex);
    return count;
}

bool PacketQueue::waitForPacket() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return closed || count > 0; });
    return !closed;
}

bool PacketQueue::waitClosedFor(std::chrono::nanoseconds pause) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, pause, [this] { return closed; });
}

void PacketQueue::close() {
    {
        std::lock_guard lock(mutex);
        closed = true;
    }
    changed.notify_all();
}

bool PacketQueue::isClosed() const {
    std::lock_guard lock(mutex);
    return closed;
}

}  // namespace kestrava::net
