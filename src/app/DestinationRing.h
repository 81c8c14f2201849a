#pragma once

#include "app/SenderControl.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// The 64-slot destination command ring with both of its sides: the writer (applySettings,
// through SenderControl) and one reader, the socket-manager thread, which takes the commands in
// ring order. A slot is free while its id is -1; the writer fills a free slot and counts it;
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
