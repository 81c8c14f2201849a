// kestrava-tool netifs [--all]: the network interfaces as the settings' choice list offers them
// ("Automatic", then every interface with an IPv4 address: its value and its name); with --all
// every interface with both address texts and its index.
#include "net/NetworkInterfaceCache.h"
#include "tool/Commands.h"

#include <arpa/inet.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The choice value of an interface: its IPv4 address, first octet most significant; 0 when the
// text does not parse.
std::uint32_t choiceValue(const std::string& ipv4) {
    in_addr address{};
    if (inet_pton(AF_INET, ipv4.substr(0, 65).c_str(), &address) != 1) return 0;
    return ntohl(address.s_addr);
}

}  // namespace

int runNetifsCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) {
        std::printf("usage: kestrava-tool netifs [--all]\n"
                    "  lists the network interfaces as the settings offer them (\"Automatic\", then each\n"
                    "  interface with an IPv4 address); --all lists every interface with both addresses\n");
        return 0;
    }
    bool all = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--all") == 0) {
            all = true;
        } else {
            std::fprintf(stderr, "usage: kestrava-tool netifs [--all]\n");
            return 2;
        }
    }
    kestrava::net::NetworkInterfaceCache cache;
    cache.refreshNetworkInterfaces();
    if (all) {
        std::printf("index\tname\tIPv4\tIPv6\n");
        for (std::size_t i = 0; i < cache.count(); ++i) {
            const kestrava::net::NetworkInterface entry = cache.at(static_cast<std::ptrdiff_t>(i));
            std::printf("%d\t%s\t%s\t%s\n", entry.index, entry.name.c_str(), entry.ipv4Address.c_str(),
                        entry.ipv6Address.c_str());
        }
        return 0;
    }
    // The settings list holds at most 512 entries: "Automatic" and 511 interfaces.
    std::printf("0\tAutomatic\n");
    int listed = 1;
    for (std::size_t i = 0; i < cache.count() && listed < 512; ++i) {
        const kestrava::net::NetworkInterface entry = cache.at(static_cast<std::ptrdiff_t>(i));
        if (entry.ipv4Address.empty()) continue;
        std::printf("%u\t%s\n", choiceValue(entry.ipv4Address), entry.name.substr(0, 256).c_str());
        ++listed;
    }
    return 0;
}
