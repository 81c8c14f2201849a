#include "net/NetworkInterfaceCache.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

namespace kestrava::net {

std::vector<NetworkInterface> NetworkInterfaceCache::listNetworkInterfaces() const {
    std::vector<NetworkInterface> list;
    // if_nameindex gives every interface, also those without an address, in index order.
    if (struct if_nameindex* names = if_nameindex()) {
        for (struct if_nameindex* n = names; n->if_index != 0 && n->if_name != nullptr; ++n) {
            NetworkInterface entry;
            entry.name = n->if_name;
            entry.index = static_cast<std::int32_t>(n->if_index);
            list.push_back(std::move(entry));
        }
        if_freenameindex(names);
    }
    struct ifaddrs* addresses = nullptr;
    if (getifaddrs(&addresses) != 0) return list;
    std::vector<bool> hasV4(list.size()), hasV6(list.size());
    for (struct ifaddrs* a = addresses; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_name == nullptr) continue;
        const int family = a->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        const auto it = std::find_if(list.begin(), list.end(), [&](const NetworkInterface& e) { return e.name == a->ifa_name; });
        if (it == list.end()) continue;
        const std::size_t i = static_cast<std::size_t>(it - list.begin());
        char text[INET6_ADDRSTRLEN] = {};
        // Only the first address of each family counts, even when it does not convert.
        if (family == AF_INET && !hasV4[i]) {
            hasV4[i] = true;
            const auto* sin = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text) != nullptr) it->ipv4Address = text;
        } else if (family == AF_INET6 && !hasV6[i]) {
            hasV6[i] = true;
            const auto* sin6 = reinterpret_cast<const sockaddr_in6*>(a->ifa_addr);
            if (inet_ntop(AF_INET6, &sin6->sin6_addr, text, sizeof text) != nullptr) it->ipv6Address = text;
        }
    }
    freeifaddrs(addresses);
    return list;
}

void NetworkInterfaceCache::refreshNetworkInterfaces() {
    interfaces = listNetworkInterfaces();
    listed = true;
}

NetworkInterface NetworkInterfaceCache::at(std::ptrdiff_t position) const {
    if (position >= 0 && static_cast<std::size_t>(position) < interfaces.size()) return interfaces[position];
    NetworkInterface invalid;
    invalid.name = "Invalid index";
    invalid.ipv4Address = "0.0.0.0";
    invalid.ipv6Address = "::0";
    invalid.index = -1;
    return invalid;
}

void NetworkInterfaceCache::findNetworkInterface(NetworkInterface& out, bool wantIpv6, const std::string& name) const {
    out.index = -1;
    for (const NetworkInterface& entry : listNetworkInterfaces()) {
        if (entry.name != name) continue;
        if ((wantIpv6 ? entry.ipv6Address : entry.ipv4Address).empty()) continue;
        out = entry;
    }
}

}  // namespace kestrava::net
