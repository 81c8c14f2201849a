#include "net/SocketManager.h"

#include "logging/KestravaInstanceConfig.h"
#include "net/NetworkInterfaceCache.h"
#include "platform/SystemError.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrava::net {

int parseIpAddress(int family, const std::string& text, void* out) {
    if (family != AF_INET && family != AF_INET6) return 0;
    char buffer[66] = {};
    std::strncpy(buffer, text.c_str(), 65);
    unsigned char address[16] = {};
    if (inet_pton(family, buffer, address) != 1) return 0;
    std::memcpy(out, address, family == AF_INET ? 4 : 16);
    return 1;
}

SocketManager::SocketManager(KestravaInstanceConfig* config) : managerConfig(config) {}

SocketManager::~SocketManager() { closeSocket(); }

void SocketManager::closeSocket() {
    if (socketHandle >= 0) ::close(socketHandle);
    socketHandle = -1;
    isOpen = false;
}

bool SocketManager::createSocket(int family) {
    socketHandle = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return socketHandle >= 0;
}

void SocketManager::open() {
    auto& log = managerConfig->logger;
    auto& status = managerConfig->statusMessages;
    if (!createSocket(ipVersion == Ipv4 ? AF_INET : AF_INET6)) {
        const int error = errno;
        status.postTimedStatusMessage(StatusError, 0, "Failed to create socket: {}", kestrava::describeSystemError(error));
        log.log(1, KestravaLogger::Error, "Failed to create socket: {}", kestrava::describeSystemError(error));
        return;
    }
    if (ipVersion == Ipv6) {
        const int off = 0;
        if (setsockopt(socketHandle, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0) {
            const int error = errno;
            const std::string text = kestrava::describeSystemError(error);
            status.postTimedStatusMessage(StatusNotice, 0,
                                          "IPV6_V6ONLY cannot be turned off, switching to IPV4 only. Error {}", text);
            log.log(1, KestravaLogger::Warning, "IPV6_V6ONLY cannot be turned off, switching to IPV4 only. Error {}", text);
            closeSocket();
            ipVersion = Ipv4;
            if (!createSocket(AF_INET)) {
                const std::string again = kestrava::describeSystemError(errno);
                status.postTimedStatusMessage(StatusError, 0, "Failed to create socket: {}", again);
                log.log(1, KestravaLogger::Error, "Failed to create socket: {}", again);
                return;
            }
        }
    }
    isOpen = true;
    const int on = 1;
    if (setsockopt(socketHandle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        const std::string text = kestrava::describeSystemError(errno);
        status.postTimedStatusMessage(StatusError, 0, "Failed to enable SO_REUSEADDR {}", text);
        log.log(1, KestravaLogger::Error, "Failed to enable SO_REUSEADDR {}", text);
    }
    if (setsockopt(socketHandle, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        const std::string text = kestrava::describeSystemError(errno);
        status.postTimedStatusMessage(StatusError, 0, "Failed to enable SO_BROADCAST {}", text);
        log.log(1, KestravaLogger::Error, "Failed to enable SO_BROADCAST {}", text);
    }
}

bool SocketManager::bindToInterface(const std::string& name) {
    auto& log = managerConfig->logger;
    auto& status = managerConfig->statusMessages;
    if (!isOpen) {
        status.postStatusText(StatusNotice, "Socket not open, cannot bind to interface");
        log.log(1, KestravaLogger::Warning, "Socket not open, cannot bind to interface");
        return false;
    }
    NetworkInterface found;
    NetworkInterfaceCache().findNetworkInterface(found, ipVersion == Ipv6, name);
    if (found.index == -1) {
        status.postTimedStatusMessage(StatusError, 0, "Failed to bind to interface {}, interface not found", name);
        log.log(1, KestravaLogger::Error, "Failed to bind to interface {}, interface not found", name);
        return false;
    }
    const std::string& address = ipVersion == Ipv4 ? found.ipv4Address : found.ipv6Address;
    sockaddr_storage local{};
    socklen_t length = 0;
    bool converted = false;
    if (ipVersion == Ipv4) {
        auto* sin = reinterpret_cast<sockaddr_in*>(&local);
        sin->sin_family = AF_INET;
        converted = parseIpAddress(AF_INET, address, &sin->sin_addr) == 1;
        length = sizeof(sockaddr_in);
    } else {
        auto* sin6 = reinterpret_cast<sockaddr_in6*>(&local);
        sin6->sin6_family = AF_INET6;
        converted = parseIpAddress(AF_INET6, address, &sin6->sin6_addr) == 1;
        // A link-local address binds only with its interface as scope.
        if (converted && IN6_IS_ADDR_LINKLOCAL(&sin6->sin6_addr)) sin6->sin6_scope_id = static_cast<std::uint32_t>(found.index);
        length = sizeof(sockaddr_in6);
    }
    if (!converted) {
        const std::string text = kestrava::describeSystemError(EINVAL);
        status.postTimedStatusMessage(StatusError, 0, "Failed to convert address for {}/{}: {}", name, address, text);
        log.log(1, KestravaLogger::Error, "Failed to convert address for {}/{}: {}", name, address, text);
        return false;
    }
    if (::bind(socketHandle, reinterpret_cast<const sockaddr*>(&local), length) != 0) {
        const std::string text = kestrava::describeSystemError(errno);
        status.postTimedStatusMessage(StatusError, 0, "Failed to bind to {}/{}: {}", name, address, text);
        log.log(1, KestravaLogger::Error, "Failed to bind to {}/{}: {}", name, address, text);
        return false;
    }
    // The address alone does not keep packets off other interfaces; the device binding does.
    if (setsockopt(socketHandle, SOL_SOCKET, SO_BINDTODEVICE, name.c_str(), static_cast<socklen_t>(name.size())) != 0) {
        const std::string text = kestrava::describeSystemError(errno);
        status.postTimedStatusMessage(StatusError, 0, "Failed to bind to {}/{}: {}", name, address, text);
        log.log(1, KestravaLogger::Error, "Failed to bind to {}/{}: {}", name, address, text);
        return false;
    }
    log.log(1, KestravaLogger::Info, "UDP destination now bound to {} / {}", name, address);
    return true;
}

}  // namespace kestrava::net
