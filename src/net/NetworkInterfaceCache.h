#pragma once

#include "net/NetworkInterface.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kestrava::net {

// The local network interfaces. The instance keeps one filled copy for the settings' choice
// list; interface lookups for binding list afresh every time.
class NetworkInterfaceCache {
public:
    // Asks the system for the interfaces now, in index order, including interfaces without an
    // address. Never fails: a failed query gives an empty list.
    std::vector<NetworkInterface> listNetworkInterfaces() const;
    // Replaces the kept list with a fresh one and marks it listed.
    void refreshNetworkInterfaces();

    bool isListed() const { return listed; }
    std::size_t count() const { return interfaces.size(); }
    // A copy of entry `position`; outside the list the record "Invalid index", "0.0.0.0", "::0",
    // with the index asked for.
    NetworkInterface at(std::ptrdiff_t position) const;

    // Looks `name` up in a fresh list; the last interface of that exact name that has an address
    // of the wanted family wins. The output's index stays -1 when none matches.
    void findNetworkInterface(NetworkInterface& out, bool wantIpv6, const std::string& name) const;

private:
    bool listed = false;
    std::vector<NetworkInterface> interfaces;
};

}  // namespace kestrava::net
