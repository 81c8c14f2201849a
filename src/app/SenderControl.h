#pragma once

#include <cstdint>
#include <string>

namespace kestrava::codec::frame { class FrameSender; }
namespace kestrava::transport { class TRPSender; }

// The shell's side of the encoder's transport sender: the destination command ring that
// applySettings writes and the sender's socket-manager thread reads. A sender takes a command
// only into a free slot at the ring's write index; a busy slot means the ring is full and the
// command is refused: nothing changes, and the sender reports it in the instance's log.
class SenderControl {
public:
    virtual ~SenderControl() = default;

    // Queues an open command under the next destination id (ids run from 0 and are never
    // reused); returns that id, or -1 when the ring is full.
    virtual std::int32_t queueOpen(const std::string& host, const std::string& port, const std::string& interfaceName,
                                   bool qos) = 0;
    // Queues an erase command for an id; false when the ring is full.
    virtual bool queueErase(std::int32_t destinationId) = 0;

    // Where the audio source hands its coded frames; null when this sender carries none.
    virtual kestrava::codec::frame::FrameSender* frameSender() { return nullptr; }
    virtual kestrava::transport::TRPSender* transportSender() { return nullptr; }
};
