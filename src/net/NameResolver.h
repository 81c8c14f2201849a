#pragma once

#include <sys/socket.h>

#include <functional>
#include <string>
#include <vector>

namespace kestrava::net {

struct ResolvedAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
};

struct ResolveResult {
    bool ok = false;
    std::string errorText;                   // the resolver's text when not ok
    std::vector<ResolvedAddress> addresses;  // in the resolver's order
};

// Turns a host and a port text into datagram addresses. The system resolver by default; tests
// put in one that answers from a table or holds on until released. A resolver may block for long
// and may be abandoned while it runs, so it must own everything it touches.
using NameResolver = std::function<ResolveResult(const std::string& host, const std::string& port)>;

// getaddrinfo with no flags, any family, datagram sockets.
ResolveResult resolveWithSystem(const std::string& host, const std::string& port);

}  // namespace kestrava::net
