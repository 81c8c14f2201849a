#pragma once

#include "net/DestinationCommand.h"
#include "platform/NonCopyable.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kestrava::net {

// The 64-slot ring of destination commands between the controller (writer) and the
// socket-manager thread (reader). A slot is free, pending (written, not yet taken or still being
// carried out) or cancelled (an erase that met its add before the add was carried out). A
// cancelled slot stays reserved until the reader passes it, so the writer never overtakes the
// reader and the ring keeps its order.
class DestinationCommandRing : kestrava::NonCopyable {
public:
    static constexpr int slotCount = 64;

    enum class TakeResult { Command, TimedOut, Closed };

    // Writer: false when the slot at the write position is not free (ring full); nothing changes.
    bool submit(const DestinationCommand& command);

    // Reader: waits until a command is pending, the deadline passes or the ring is closed. The
    // taken slot stays reserved until finish() or until it turns out cancelled (then it is freed
    // here and the next one is taken).
    TakeResult take(DestinationCommand& out, std::chrono::steady_clock::time_point deadline);
    // Reader: frees the slot of the command last taken.
    void finish();
    // Reader, for an add with this id: when an erase of the same id is already pending behind it,
    // cancels that erase and returns true; the pair then has no effect.
    bool cancelPendingErase(std::int32_t destinationId);
    // Reader: waits until the deadline passes or the ring is closed; true when closed.
    bool waitClosedUntil(std::chrono::steady_clock::time_point deadline);

    void close();
    bool isClosed() const;
    int pendingCount() const;

private:
    enum class SlotState : std::uint8_t { Free, Pending, Cancelled };

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::array<DestinationCommand, slotCount> commands{};
    std::array<SlotState, slotCount> states{};
    int writeIndex = 0;
    int readIndex = 0;
    int pending = 0;  // written and not yet taken
    int current = -1;  // slot of the command being carried out
    bool closed = false;
};

}  // namespace kestrava::net
