#pragma once

#include "transport/PacketSink.h"

#include <cstdint>
#include <type_traits>

namespace kestrava::net {

// One queued packet. The bytes beyond `length` are zero.
struct SenderSlot {
    static constexpr std::uint32_t capacity = 2048;

    std::uint8_t data[capacity];
    std::uint32_t length;
    kestrava::transport::TRP::Priority priority;
    std::int64_t enqueueTime;  // steady clock, ns
};

static_assert(std::is_trivially_copyable_v<SenderSlot>, "slots are copied in and out of the ring whole");

}  // namespace kestrava::net
