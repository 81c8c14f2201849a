#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace nettest {

// A UDP socket on a loopback (or test-namespace) address and a port the system picks, that
// reports the TOS / traffic class and the arrival interface of each datagram.
class UdpReceiver {
public:
    struct Datagram {
        std::vector<std::uint8_t> bytes;
        int tos = -1;
        int interfaceIndex = -1;
        std::string source;  // the sender's address as text
        // Datagrams the system dropped at this socket (its buffer was full) since it was made;
        // a test whose reader falls behind tells them from losses on the sending side.
        std::uint32_t dropsBefore = 0;
    };

    // family AF_INET or AF_INET6; address in text form.
    UdpReceiver(int family, const char* address) {
        fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return;
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
        sockaddr_storage local{};
        socklen_t length = 0;
        if (family == AF_INET) {
            setsockopt(fd, IPPROTO_IP, IP_RECVTOS, &on, sizeof on);
            setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
            auto* sin = reinterpret_cast<sockaddr_in*>(&local);
            sin->sin_family = AF_INET;
            inet_pton(AF_INET, address, &sin->sin_addr);
            length = sizeof *sin;
        } else {
            setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
            setsockopt(fd, IPPROTO_IPV6, IPV6_RECVTCLASS, &on, sizeof on);
            setsockopt(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on);
            auto* sin6 = reinterpret_cast<sockaddr_in6*>(&local);
            sin6->sin6_family = AF_INET6;
            inet_pton(AF_INET6, address, &sin6->sin6_addr);
            length = sizeof *sin6;
        }
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), length) != 0) {
            ::close(fd);
            fd = -1;
            return;
        }
        sockaddr_storage bound{};
        socklen_t boundLength = sizeof bound;
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
        port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                       : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    }
    ~UdpReceiver() {
        if (fd >= 0) ::close(fd);
    }
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    bool ok() const { return fd >= 0; }
    // Asks for a receive buffer of `bytes` (beyond the system's limit where allowed), for a test
    // whose reader may fall behind; the system may give less.
    void enlargeBuffer(int bytes) {
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
        }
    }
    std::string portText() const { return std::to_string(port); }

    // The next datagram, or nothing after `timeoutMs`.
    std::optional<Datagram> receive(int timeoutMs = 10000) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return std::nullopt;
        Datagram d;
        d.bytes.resize(65536);
        iovec io{d.bytes.data(), d.bytes.size()};
        alignas(cmsghdr) char control[256];
        sockaddr_storage from{};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &io;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd, &msg, 0);
        if (n < 0) return std::nullopt;
        d.bytes.resize(static_cast<std::size_t>(n));
        char text[INET6_ADDRSTRLEN] = {};
        if (from.ss_family == AF_INET) {
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&from)->sin_addr, text, sizeof text);
        } else if (from.ss_family == AF_INET6) {
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&from)->sin6_addr, text, sizeof text);
        }
        d.source = text;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
                std::memcpy(&d.dropsBefore, CMSG_DATA(c), sizeof d.dropsBefore);
            }
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TOS) d.tos = *reinterpret_cast<unsigned char*>(CMSG_DATA(c));
            if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_TCLASS) {
                int v = 0;
                std::memcpy(&v, CMSG_DATA(c), sizeof v);
                d.tos = v;
            }
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                d.interfaceIndex = info.ipi_ifindex;
            }
            if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
                in6_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                d.interfaceIndex = static_cast<int>(info.ipi6_ifindex);
            }
        }
        return d;
    }

private:
    int fd = -1;
    std::uint16_t port = 0;
};

}  // namespace nettest
