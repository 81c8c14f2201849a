#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace webtest {

// A TCP client on a loopback address (127.0.0.0/8), with bounded waits only.
class LoopbackClient {
public:
    LoopbackClient(std::uint16_t port, const char* from = "127.0.0.1") {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
    }
    ~LoopbackClient() { close(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool ok() const { return connected; }
    void send(const std::string& bytes) { ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Half-close: the server sees the end of the request.
    void finishSending() { ::shutdown(fd, SHUT_WR); }
    void close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    // Exactly n bytes, or fewer when the server closes or the wait runs out.
    std::string readExactly(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::string out;
        const auto until = std::chrono::steady_clock::now() + limit;
        while (out.size() < n) {
            if (!waitReadable(until)) break;
            char buf[65536];
            const ssize_t got = ::recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
            if (got <= 0) break;
            out.append(buf, static_cast<std::size_t>(got));
        }
        return out;
    }
    // Everything until the server closes (or the wait runs out: then `closedByServer` is false).
    std::string readAll(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::string out;
        closedByServer = false;
        const auto until = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (!waitReadable(until)) return out;
            char buf[65536];
            const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got <= 0) {
                closedByServer = true;
                return out;
            }
            out.append(buf, static_cast<std::size_t>(got));
        }
    }
    bool closedByServer = false;

private:
    bool waitReadable(std::chrono::steady_clock::time_point until) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(left.count())) > 0;
    }

    int fd = -1;
    bool connected = false;
};

}  // namespace webtest
