#pragma once

#include "net/NetworkInterface.h"

#include <cstdint>

// The local network interfaces as the settings' interface choice lists see them.
class NetworkInterfaceList {
public:
    virtual ~NetworkInterfaceList() = default;

    // Listed on first use.
    virtual std::int32_t networkInterfaceCount() = 0;
    // A copy of entry n; beyond the list an entry named "Invalid index".
    virtual kestrava::net::NetworkInterface getNetworkInterface(std::int32_t n) = 0;
};
