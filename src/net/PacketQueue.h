#pragma once

#include "net/SenderSlot.h"
#include "platform/NonCopyable.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kestrava::net {

// The 256-slot packet ring between the transport sender (producer) and the send thread
// (consumer), oldest first:
//
//   readIndex                      readIndex + count - 1 (mod 256)
//       v                                 v
//   ... [oldest] [ ... ] [ ... ] [newest] [free] ...
//
// One short mutex guards the indices and the slot copies; a condition variable wakes the send
// thread. Closing wakes every waiter and makes later waits return at once.
class PacketQueue : kestrava::NonCopyable {
public:
    static constexpr std::uint32_t slotCount = 256;

    // What the rate limiter looks at before it sends the head.
    struct HeadInfo {
        std::uint32_t count = 0;
        kestrava::transport::TRP::Priority priority = kestrava::transport::TRP::Priority::Frame;
        std::uint64_t queuedBytes = 0;      // sum of the queued lengths, head included
        std::int64_t newestEnqueueTime = 0;  // of the packet at the tail
    };

    // Copies the packet (at most 2048 bytes; the rest of the slot is zeroed). False when the
    // ring already holds 256 packets: the packet is dropped and the ring is unchanged.
    bool push(const std::uint8_t* data, std::uint32_t length, kestrava::transport::TRP::Priority priority, std::int64_t enqueueTimeNs);

    // Copies the oldest packet out and frees its slot; false when the ring is empty.
    bool pop(SenderSlot& out);
    // Frees the oldest slot without copying; false when the ring is empty.
    bool dropHead();
    HeadInfo head() const;
    std::uint32_t size() const;

    // Waits until a packet is queued or the ring is closed; false once closed.
    bool waitForPacket();
    // Waits out a pause; returns early, with true, when the ring is closed.
    bool waitClosedFor(std::chrono::nanoseconds pause);
    void close();
    bool isClosed() const;

private:
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::array<SenderSlot, slotCount> slots{};
    std::uint32_t readIndex = 0;
    std::uint32_t writeIndex = 0;
    std::uint32_t count = 0;
    bool closed = false;
};

}  // namespace kestrava::net
