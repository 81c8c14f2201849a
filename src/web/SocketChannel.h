#pragma once

#include "web/ByteChannel.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kestrava::web {

// A worker's connection as byte source and sink: receives wait with poll until a deadline (or
// until stop shuts the socket down); sends never raise SIGPIPE and give up after the socket's
// send time-out, after which nothing more is sent.
class SocketChannel : public ByteSource, public ByteSink {
public:
    using Clock = std::chrono::steady_clock;
    using ByteSink::send;

    explicit SocketChannel(const std::atomic<bool>& stopFlag);

    // A new connection; the socket stays owned by the caller.
    void attach(int socket);
    // Receives must end by `deadline`; with `thenWithin` > 0 the first bytes move the deadline to
    // that long after them (a frame that has begun must be completed in time).
    void setDeadline(Clock::time_point deadline, std::chrono::milliseconds thenWithin = {});
    bool timedOut() const { return expired; }
    bool sendFailed() const { return failed; }
    bool sentAny() const { return sent; }

    long receive(std::uint8_t* into, std::size_t max) override;
    void send(const std::uint8_t* data, std::size_t size) override;
    bool broken() const override { return failed; }

private:
    const std::atomic<bool>& stop;
    int fd = -1;
    Clock::time_point deadline{};
    std::chrono::milliseconds thenWithin{};
    bool expired = false;
    bool failed = false;
    bool sent = false;
};

}  // namespace kestrava::web
