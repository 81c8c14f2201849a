#pragma once

#include <cstdint>
#include <string>

namespace kestrava::net {

// An add or erase request for one destination. For an erase only the id carries meaning.
struct DestinationCommand {
    static constexpr std::size_t maxTextLength = 64;

    std::string host;           // name or numeric IPv4/IPv6 address, at most 64 characters
    std::string port;           // decimal digits
    std::string interfaceName;  // local interface to bind to; empty: no binding
    bool useQos = false;        // mark the traffic for expedited forwarding (DSCP 46)
    std::int32_t destinationId = -1;
    bool erase = false;
};

}  // namespace kestrava::net
