#include "web/SocketChannel.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace kestrava::web {

SocketChannel::SocketChannel(const std::atomic<bool>& stopFlag) : stop(stopFlag) {}

void SocketChannel::attach(int socket) {
    fd = socket;
    expired = false;
    failed = false;
    sent = false;
    deadline = Clock::now();
    thenWithin = {};
}

void SocketChannel::setDeadline(Clock::time_point deadline_, std::chrono::milliseconds thenWithin_) {
    deadline = deadline_;
    thenWithin = thenWithin_;
}

long SocketChannel::receive(std::uint8_t* into, std::size_t max) {
    if (fd < 0 || max == 0) return -1;
    for (;;) {
        if (stop.load()) return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            expired = true;
            return -1;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left > 250 ? 250 : left));
        if (ready < 0 && errno != EINTR) return -1;
        if (ready <= 0) continue;
        const ssize_t n = ::recv(fd, into, max, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        if (n > 0 && thenWithin.count() > 0) {
            deadline = Clock::now() + thenWithin;
            thenWithin = {};
        }
        return static_cast<long>(n);
    }
}

void SocketChannel::send(const std::uint8_t* data, std::size_t size) {
    while (!failed && size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed = true;  // gone, or not taking data within the send time-out
            return;
        }
        sent = true;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace kestrava::web
