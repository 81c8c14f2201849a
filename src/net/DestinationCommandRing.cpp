#include "net/DestinationCommandRing.h"

namespace kestrava::net {

namespace {
std::string cut(const std::string& text) { return text.substr(0, DestinationCommand::maxTextLength); }
}  // namespace

bool DestinationCommandRing::submit(const DestinationCommand& command) {
    {
        std::lock_guard lock(mutex);
        if (states[writeIndex] != SlotState::Free) return false;
        DestinationCommand& slot = commands[writeIndex];
        slot.host = cut(command.host);
        slot.port = cut(command.port);
        slot.interfaceName = cut(command.interfaceName);
        slot.useQos = command.useQos;
        slot.destinationId = command.destinationId;
        slot.erase = command.erase;
        states[writeIndex] = SlotState::Pending;
        writeIndex = (writeIndex + 1) % slotCount;
        ++pending;
    }
    changed.notify_all();
    return true;
}

DestinationCommandRing::TakeResult DestinationCommandRing::take(DestinationCommand& out,
                                                                std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex);
    for (;;) {
        if (!changed.wait_until(lock, deadline, [this] { return closed || pending > 0; })) return TakeResult::TimedOut;
        if (closed) return TakeResult::Closed;
        const int slot = readIndex;
        readIndex = (readIndex + 1) % slotCount;
        --pending;
        if (states[slot] == SlotState::Cancelled) {
            states[slot] = SlotState::Free;
            continue;
        }
        out = commands[slot];
        current = slot;
        return TakeResult::Command;
    }
}

void DestinationCommandRing::finish() {
    std::lock_guard lock(mutex);
    if (current >= 0) states[current] = SlotState::Free;
    current = -1;
}

bool DestinationCommandRing::cancelPendingErase(std::int32_t destinationId) {
    std::lock_guard lock(mutex);
    for (int i = 0; i < pending; ++i) {
        const int slot = (readIndex + i) % slotCount;
        if (states[slot] == SlotState::Pending && commands[slot].erase && commands[slot].destinationId == destinationId) {
            states[slot] = SlotState::Cancelled;
            return true;
        }
    }
    return false;
}

bool DestinationCommandRing::waitClosedUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex);
    return changed.wait_until(lock, deadline, [this] { return closed; });
}

void DestinationCommandRing::close() {
    {
        std::lock_guard lock(mutex);
        closed = true;
    }
    changed.notify_all();
}

bool DestinationCommandRing::isClosed() const {
    std::lock_guard lock(mutex);
    return closed;
}

int DestinationCommandRing::pendingCount() const {
    std::lock_guard lock(mutex);
    return pending;
}

}  // namespace kestrava::net
