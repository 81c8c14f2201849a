#include "app/DestinationRing.h"

#include <utility>

bool DestinationRing::queue(Command command) {
    {
        std::lock_guard lock(mutex);
        Slot& slot = slots[writeIndex];
        if (slot.command.destinationId >= 0) return false;
        if (!command.erase) command.destinationId = nextDestinationId++;
        slot.command = std::move(command);
        slot.cancelled = false;
        writeIndex = (writeIndex + 1) % slotCount;
        ++count;
    }
    wake.notify_all();
    return true;
}

std::int32_t DestinationRing::queueOpen(const std::string& host, const std::string& port,
                                        const std::string& interfaceName, bool qos) {
    std::int32_t id = -1;
    {
        std::lock_guard lock(mutex);
        id = nextDestinationId;
    }
    // Only applySettings writes, so the id read above is the one queue() hands out.
    return queue(Command{host, port, interfaceName, qos, -1, false}) ? id : -1;
}

bool DestinationRing::queueErase(std::int32_t destinationId) {
    return queue(Command{{}, {}, {}, false, destinationId, true});
}

std::optional<DestinationRing::Command> DestinationRing::take(bool wait) {
    std::unique_lock lock(mutex);
    if (wait) {
        wake.wait(lock, [this] { return count > 0 || closed; });
    }
    if (count == 0) return std::nullopt;
    --count;
    Slot& slot = slots[readIndex];
    readIndex = (readIndex + 1) % slotCount;
    Command taken = slot.command;
    const bool dropped = slot.cancelled || taken.destinationId < 0;
    slot.command.destinationId = -1;
    slot.cancelled = false;
    if (dropped) {
        taken.destinationId = -1;
        return taken;
    }
    if (!taken.erase) {
        // An erase of the same id queued behind this open: neither runs.
        for (int k = 0; k < count; ++k) {
            Slot& later = slots[(readIndex + k) % slotCount];
            if (later.command.erase && !later.cancelled && later.command.destinationId == taken.destinationId) {
                later.cancelled = true;
                taken.destinationId = -1;
                break;
            }
        }
    }
    return taken;
}

void DestinationRing::close() {
    {
        std::lock_guard lock(mutex);
        closed = true;
    }
    wake.notify_all();
}

int DestinationRing::pending() const {
    std::lock_guard lock(mutex);
    return count;
}
