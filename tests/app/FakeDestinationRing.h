#pragma once

#include "app/SenderControl.h"

#include <utility>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// A sender for the shell's tests: the 64-slot destination command ring with both of its sides,
// the writer (applySettings, through SenderControl) and a reader the test drives itself in place
// of the socket-manager thread, taking the commands in ring order. A slot is free while its id is -1; the writer fills a free slot and counts it;
// the reader frees it after handling it. An open whose erase is already queued behind it is
// dropped together with that erase; the erase's slot stays reserved until the reader passes it.
class DestinationRing : public SenderControl {
public:
    static constexpr int slotCount = 64;

    struct Command {
        std::string host;
        std::string port;
        std::string interfaceName;
        bool qos = false;
        std::int32_t destinationId = -1;  // -1: free slot
        bool erase = false;
    };

    std::int32_t queueOpen(const std::string& host, const std::string& port, const std::string& interfaceName,
                           bool qos) override;
    bool queueErase(std::int32_t destinationId) override;

    // Reader: takes the next counted command. Returns nothing when nothing is queued (or, with
    // wait, once the ring is closed); a command whose open was dropped comes back with id -1.
    std::optional<Command> take(bool wait);
    // Wakes a waiting reader for good.
    void close();
    // Commands counted and not yet taken.
    int pending() const;

private:
    struct Slot {
        Command command;
        bool cancelled = false;  // its open was dropped; freed when the reader passes it
    };
    bool queue(Command command);

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::array<Slot, slotCount> slots;
    int writeIndex = 0;
    int readIndex = 0;
    int count = 0;
    std::int32_t nextDestinationId = 0;
    bool closed = false;
};

inline bool DestinationRing::queue(Command command) {
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

inline std::int32_t DestinationRing::queueOpen(const std::string& host, const std::string& port,
                                        const std::string& interfaceName, bool qos) {
    std::int32_t id = -1;
    {
        std::lock_guard lock(mutex);
        id = nextDestinationId;
    }
    // Only applySettings writes, so the id read above is the one queue() hands out.
    return queue(Command{host, port, interfaceName, qos, -1, false}) ? id : -1;
}

inline bool DestinationRing::queueErase(std::int32_t destinationId) {
    return queue(Command{{}, {}, {}, false, destinationId, true});
}

inline std::optional<DestinationRing::Command> DestinationRing::take(bool wait) {
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

inline void DestinationRing::close() {
    {
        std::lock_guard lock(mutex);
        closed = true;
    }
    wake.notify_all();
}

inline int DestinationRing::pending() const {
    std::lock_guard lock(mutex);
    return count;
}
