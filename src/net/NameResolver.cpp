#include "net/NameResolver.h"

#include <netdb.h>

#include <cstring>

namespace kestrava::net {

ResolveResult resolveWithSystem(const std::string& host, const std::string& port) {
    ResolveResult result;
    addrinfo hints{};
    hints.ai_flags = 0;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = 0;
    addrinfo* list = nullptr;
    const int code = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (code != 0) {
        result.errorText = gai_strerror(code);
        return result;
    }
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
        if (a->ai_addr == nullptr || a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        ResolvedAddress entry;
        std::memcpy(&entry.address, a->ai_addr, a->ai_addrlen);
        entry.length = a->ai_addrlen;
        result.addresses.push_back(entry);
    }
    freeaddrinfo(list);
    result.ok = !result.addresses.empty();
    if (!result.ok) result.errorText = "No address associated with hostname";
    return result;
}

}  // namespace kestrava::net
