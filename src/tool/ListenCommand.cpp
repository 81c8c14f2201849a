// kestrava-tool listen --port N [--host ADDR] [--seconds S]: a small receiver for the encoder's
// stream. Prints once a second the packets per second (frames and recovery packets), the data
// rate and the latest stream position, and a line for every gap in the positions.
#include "tool/Commands.h"
#include "tool/PacketSummary.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* usage =
    "usage: kestrava-tool listen --port N [--host ADDR] [--seconds S]\n"
    "  receives the encoder's packets on UDP port N (1 to 65535) and prints once a second the\n"
    "  packets per second, the data rate and the latest stream position, and each gap in the\n"
    "  positions. --host: the local address to listen on (default 0.0.0.0, all IPv4 addresses;\n"
    "  :: for IPv6). --seconds: stop after S seconds (default: run until Ctrl+C).\n";

bool wholeNumber(const char* text, long min, long max, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= min && value <= max;
}

int openSocket(const std::string& host, const std::string& port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); error != 0) {
        std::fprintf(stderr, "kestrava-tool listen: --host %s: %s\n", host.c_str(), gai_strerror(error));
        return -1;
    }
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
        std::fprintf(stderr, "kestrava-tool listen: cannot listen on %s port %s: %s\n", host.c_str(), port.c_str(),
                     std::strerror(errno));
        if (fd >= 0) ::close(fd);
        freeaddrinfo(found);
        return -1;
    }
    freeaddrinfo(found);
    return fd;
}

struct Counts {
    std::uint64_t packets = 0, frames = 0, recovery = 0, bytes = 0, malformed = 0, gaps = 0;
};

}  // namespace

int runListenCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) {
        std::printf("%s", usage);
        return 0;
    }
    long port = 0;
    long seconds = 0;
    std::string host = "0.0.0.0";
    for (int i = 0; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc || (name != "--port" && name != "--host" && name != "--seconds")) {
            std::fprintf(stderr, "%s", usage);
            return 2;
        }
        const char* value = argv[++i];
        if (name == "--port" && !wholeNumber(value, 1, 65535, port)) {
            std::fprintf(stderr, "kestrava-tool listen: --port needs a whole number from 1 to 65535\n");
            return 2;
        }
        if (name == "--seconds" && !wholeNumber(value, 1, 1'000'000'000, seconds)) {
            std::fprintf(stderr, "kestrava-tool listen: --seconds needs a whole number of at least 1\n");
            return 2;
        }
        if (name == "--host") host = value;
    }
    if (port == 0) {
        std::fprintf(stderr, "kestrava-tool listen: --port is required\n%s", usage);
        return 2;
    }
    const int fd = openSocket(host, std::to_string(port));
    if (fd < 0) return 1;
    std::printf("listening on %s port %ld\n", host.c_str(), port);
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto nextReport = start + std::chrono::seconds(1);
    Counts total, second;
    bool havePosition = false;
    std::uint32_t expected = 0, latest = 0;
    static std::uint8_t buffer[65536];
    for (;;) {
        const auto now = Clock::now();
        if (now >= nextReport) {
            const double elapsed = std::chrono::duration<double>(now - start).count();
            std::printf("%6.0f s  %5llu packets/s (%llu frames, %llu recovery)  %8.1f kbit/s  position %s  gaps %llu\n",
                        elapsed, static_cast<unsigned long long>(second.packets),
                        static_cast<unsigned long long>(second.frames), static_cast<unsigned long long>(second.recovery),
                        static_cast<double>(second.bytes) * 8 / 1000.0,
                        havePosition ? std::to_string(latest).c_str() : "-", static_cast<unsigned long long>(total.gaps));
            std::fflush(stdout);
            second = Counts{};
            nextReport += std::chrono::seconds(1);
            if (seconds > 0 && now - start >= std::chrono::seconds(seconds)) break;
        }
        pollfd p{fd, POLLIN, 0};
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextReport - now).count();
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(wait, 0) + 1)) <= 0) continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0) continue;
        PacketSummary s;
        ++total.packets;
        ++second.packets;
        second.bytes += static_cast<std::uint64_t>(n);
        if (!summarizePacket(buffer, static_cast<std::size_t>(n), s)) {
            ++total.malformed;
            continue;
        }
        if (!s.frame) {
            ++second.recovery;
            continue;
        }
        ++second.frames;
        if (havePosition && s.position != expected) {
            ++total.gaps;
            std::printf("gap: position %u expected, %u received (%d samples)\n", expected, s.position,
                        static_cast<std::int32_t>(s.position - expected));
        }
        havePosition = true;
        latest = s.position;
        expected = s.position + s.sampleCount;
    }
    std::printf("total: %llu packets, %llu not readable, %llu gaps\n", static_cast<unsigned long long>(total.packets),
                static_cast<unsigned long long>(total.malformed), static_cast<unsigned long long>(total.gaps));
    ::close(fd);
    return 0;
}
