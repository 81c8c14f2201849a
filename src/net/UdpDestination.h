#pragma once

#include "platform/MessageThrottle.h"
#include "net/NameResolver.h"
#include "net/SocketManager.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrava::net {

// One target of the packet stream: resolved addresses and one socket, optionally bound to an
// interface and marked DSCP 46. Set up on the socket-manager thread before anyone else sees it;
// afterwards only the send thread calls send(), with the destination list locked.
class UdpDestination final : public SocketManager {
public:
    static constexpr int sendBufferSize = 4'000'000;
    static constexpr int expeditedForwardingTos = 0xB8;  // DSCP 46 in the upper six bits

    explicit UdpDestination(KestravaInstanceConfig* config);
    ~UdpDestination() override;

    // Stores the addresses and picks the socket family from the first one. False when already
    // resolved or when the resolution failed (the failure is not reported here).
    bool takeAddresses(const ResolveResult& result);
    // Asks for SO_SNDBUF of 4,000,000 bytes (forced where the process may), logs what it got.
    void setSendBufferSize();
    // Marks (or unmarks) the socket's traffic: IP_TOS 0xB8, and IPV6_TCLASS 184 on a dual-stack
    // socket.
    void applyQos(bool useQos);
    // Binds to the interface; a destination whose binding was asked for and failed never sends,
    // so that its traffic cannot leave through the wrong network.
    void bindTo(const std::string& interfaceName);

    // Sends one datagram to the first address that accepts it. Failures are reported, rate-limited.
    void send(const std::uint8_t* data, std::uint32_t length);

    const std::vector<ResolvedAddress>& resolvedAddresses() const { return addresses; }

private:
    void reportSendError(std::int64_t now, int error);

    KestravaInstanceConfig* const config;
    std::vector<ResolvedAddress> addresses;
    bool warnWhenClosed = true;
    bool bindingFailed = false;
    kestrava::platform::MessageThrottle sendErrorThrottle;
    kestrava::platform::MessageThrottle partialThrottle;
};

}  // namespace kestrava::net
