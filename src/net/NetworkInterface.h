#pragma once

#include <cstdint>
#include <string>

namespace kestrava::net {

// One local network interface: its name, the text of its first IPv4 and first IPv6 address
// (empty when it has none; IPv6 without a scope suffix) and its interface index (-1 unset).
struct NetworkInterface {
    std::string name;
    std::string ipv4Address;
    std::string ipv6Address;
    std::int32_t index = -1;
};

}  // namespace kestrava::net
