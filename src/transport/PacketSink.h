#pragma once

#include <cstdint>

namespace kestrava::transport {

namespace TRP {

// Queueing priority of a transport packet. Frames are never dropped by the send pacing; recovery
// packets may be when they would reach the far end too late to help.
enum class Priority : std::int32_t {
    Redundancy = 0,
    Frame = 1,
};

// Where finished transport packets go. The UDP output implements it; the transport sender only
// sees this interface, so framing and erasure coding stay free of sockets and threads.
class PacketSink {
public:
    virtual ~PacketSink() = default;
    // Copies one packet (at most 2048 bytes are kept) and returns at once. Called from one
    // producer thread. A packet that finds the queue full is dropped and logged by the sink.
    virtual void enqueue(const std::uint8_t* data, std::uint32_t length, Priority priority) = 0;
};

}  // namespace TRP

}  // namespace kestrava::transport
