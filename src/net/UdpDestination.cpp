#include "net/UdpDestination.h"

#include "logging/KestravaInstanceConfig.h"
#include "platform/Clock.h"
#include "platform/SystemError.h"

#include <netinet/in.h>
#include <netinet/ip.h>
#include <sys/socket.h>

#include <cerrno>

namespace kestrava::net {

UdpDestination::UdpDestination(KestravaInstanceConfig* config_) : SocketManager(config_), config(config_) {}

UdpDestination::~UdpDestination() = default;

bool UdpDestination::takeAddresses(const ResolveResult& result) {
    if (!addresses.empty() || !result.ok || result.addresses.empty()) return false;
    addresses = result.addresses;
    ipVersion = addresses.front().address.ss_family == AF_INET6 ? Ipv6 : Ipv4;
    return true;
}

void UdpDestination::setSendBufferSize() {
    if (!isOpen) return;
    const int wanted = sendBufferSize;
    // SO_SNDBUF is capped by net.core.wmem_max; the forced variant is not, where allowed.
    if (setsockopt(socketHandle, SOL_SOCKET, SO_SNDBUFFORCE, &wanted, sizeof wanted) != 0 &&
        setsockopt(socketHandle, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted) != 0) {
        const std::string text = kestrava::describeSystemError(errno);
        config->statusMessages.postTimedStatusMessage(StatusError, 0,
                                                      "Failed to set socket send buffer size to {} bytes: {}", wanted, text);
        config->logger.log(1, KestravaLogger::Error, "Failed to set socket send buffer size to {} bytes: {}", wanted, text);
        return;
    }
    int got = 0;
    socklen_t size = sizeof got;
    if (getsockopt(socketHandle, SOL_SOCKET, SO_SNDBUF, &got, &size) == 0 && got < wanted) {
        config->logger.log(1, KestravaLogger::Info, "Socket send buffer is {} bytes (asked for {})", got, wanted);
    }
}

void UdpDestination::applyQos(bool useQos) {
    if (!isOpen) return;
    const int tos = useQos ? expeditedForwardingTos : 0;
    bool ok = setsockopt(socketHandle, IPPROTO_IP, IP_TOS, &tos, sizeof tos) == 0;
    int error = ok ? 0 : errno;
    if (ok && ipVersion == Ipv6) {
        ok = setsockopt(socketHandle, IPPROTO_IPV6, IPV6_TCLASS, &tos, sizeof tos) == 0;
        if (!ok) error = errno;
    }
    if (ok) return;
    const std::string text = kestrava::describeSystemError(error);
    if (useQos) {
        config->logger.log(1, KestravaLogger::Warning, "Failed to enable QoS: {}", text);
    } else {
        config->logger.log(1, KestravaLogger::Warning, "Failed to disable QoS: {}", text);
    }
}

void UdpDestination::bindTo(const std::string& interfaceName) {
    if (!bindToInterface(interfaceName)) bindingFailed = true;
}

void UdpDestination::reportSendError(std::int64_t now, int error) {
    std::uint32_t suppressed = 0;
    if (!sendErrorThrottle.shouldReport(now, suppressed)) return;
    const std::string text = kestrava::describeSystemError(error);
    config->statusMessages.postTimedStatusMessage(StatusNotice, 0, "Error sending data to socket! {}", text);
    config->logger.log(1, KestravaLogger::Warning, "Error sending data to socket! {}", text);
    if (suppressed > 0) {
        config->logger.log(1, KestravaLogger::Warning, "{} further send errors since the last report", suppressed);
    }
}

void UdpDestination::send(const std::uint8_t* data, std::uint32_t length) {
    if (!isOpen || bindingFailed) {
        if (warnWhenClosed) {
            config->logger.log(1, KestravaLogger::Warning,
                               isOpen ? "Discarding packets to send, socket is not bound to its interface"
                                      : "Discarding packets to send, socket is not open");
        }
        warnWhenClosed = false;
        return;
    }
    warnWhenClosed = true;
    if (addresses.empty()) {
        // Cannot happen for a destination in the list: it entered it resolved.
        return;
    }
    ssize_t sent = -1;
    int error = 0;
    for (const ResolvedAddress& address : addresses) {
        sent = ::sendto(socketHandle, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address.address),
                        address.length);
        if (sent >= 0) break;
        error = errno;
    }
    const std::int64_t now = kestrava::steadyNowNs();
    if (sent < 0) {
        reportSendError(now, error);
        return;
    }
    if (static_cast<std::uint32_t>(sent) < length) {
        std::uint32_t suppressed = 0;
        if (!partialThrottle.shouldReport(now, suppressed)) return;
        config->statusMessages.postTimedStatusMessage(StatusError, 0, "Packet only sent partially - sent {} of {} bytes",
                                                      sent, length);
        config->logger.log(1, KestravaLogger::Error, "Packet only sent partially - sent {} of {} bytes", sent, length);
    }
}

}  // namespace kestrava::net
