#pragma once

#include "platform/NonCopyable.h"

#include <cstdint>
#include <string>

class KestravaInstanceConfig;

namespace kestrava::net {

// Holds one UDP socket: IPv4, or IPv6 in dual-stack mode so that one socket also reaches IPv4
// addresses. Closes it when destroyed.
class SocketManager : kestrava::NonCopyable {
public:
    enum IpVersion : std::int32_t { Unknown = 0, Ipv4 = 1, Ipv6 = 2 };

    explicit SocketManager(KestravaInstanceConfig* config);
    virtual ~SocketManager();

    // Creates the socket for ipVersion with address reuse and broadcast. A socket that could not
    // be created stays closed (isOpen false), and its destination does not send.
    void open();
    // Binds the socket to the named interface: to its address (IPv4 or IPv6 after the socket's
    // family) and to the device itself. True when bound; a failure is reported.
    bool bindToInterface(const std::string& interfaceName);

    bool isSocketOpen() const { return isOpen; }
    std::int32_t version() const { return ipVersion; }
    int handle() const { return socketHandle; }

protected:
    KestravaInstanceConfig* const managerConfig;
    bool isOpen = false;
    std::int32_t ipVersion = Unknown;
    int socketHandle = -1;

private:
    bool createSocket(int family);
    void closeSocket();
};

// Converts an address text of the family (at most 65 characters are used) into `out` (4 or 16
// bytes). Returns 1 on success, 0 on failure.
int parseIpAddress(int family, const std::string& text, void* out);

}  // namespace kestrava::net
