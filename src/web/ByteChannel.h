#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrava::web {

// Where a worker's bytes come from: a socket with its time-outs, or a test's script.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `max` bytes into `into`: the count (> 0), 0 when the peer closed, < 0 on an error,
    // a time-out or a stop.
    virtual long receive(std::uint8_t* into, std::size_t max) = 0;
};

// Where a worker's replies go. A failed send is remembered, and nothing more is sent.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void send(const std::uint8_t* data, std::size_t size) = 0;
    // True once a send has failed: the peer is gone and the rest of a reply can be skipped.
    virtual bool broken() const { return false; }
    void send(const char* text, std::size_t size) { send(reinterpret_cast<const std::uint8_t*>(text), size); }
};

}  // namespace kestrava::web
