#include "web/HttpServer.h"

#include "model/InstanceTable.h"
#include "platform/ThreadSetup.h"
#include "web/FrameReader.h"
#include "web/HttpRequest.h"
#include "web/WebSocketAccept.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrava::web {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int lowestPriority = -2;
constexpr std::size_t maxRequestBytes = HttpRequest::maxHeaderBytes;
constexpr int listenerPollMs = 250;

constexpr std::string_view busyReply =
    "HTTP/1.0 503 SERVICE UNAVAILABLE\r\nContent-Type: text/html\r\nRetry-After: 2\r\n\r\n"
    "The server is busy, please try again.";

// The refusal page, piece by piece.
constexpr std::string_view deniedHead =
    "HTTP/1.0 403 FORBIDDEN\r\nContent-Type: text/html; charset=UTF-8\r\nCache-Control: no-cache, no-store, "
    "must-revalidate\r\nPragma: no-cache\r\nExpires: 0\r\n\r\n";
constexpr std::string_view deniedOpen = "<HTML><TITLE>Error</TITLE><BODY>";
constexpr std::string_view deniedHelp =
    "<H1>Access denied.</H1>Your IP address is not whitelisted. Please add your IP address using the following "
    "format(comma or space separated for multiple entries):<BR/><BR/><TT>127.0.0.1</TT> Only from "
    "localhost<BR/><TT>192.168.100.127</TT> A specific address<BR/><TT>172.22.16.0/24</TT> Subnet(anything that "
    "starts with 172.22.16.)<BR/> <TT>172.22.16/24</TT> Alternative notation<BR/> <TT>172.22.16.*</TT> Alternative "
    "notation<BR/><TT>127.0.0.1 192.168/16 198.51.100.254</TT> Example of a complete whitelist.<BR/><BR/>127.0.0.1 "
    "is always whitelisted, regardless of the settings here.<BR/><BR/>";
constexpr std::string_view deniedAddressOpen = "<b>Your IP address is: ";
constexpr std::string_view deniedAddressClose = "</b><BR/>";
constexpr std::string_view deniedClose = "</BODY></HTML>\r\n\r\n";

void setNonBlocking(int fd, bool on) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags >= 0) ::fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

}  // namespace

struct HttpServer::Slot {
    explicit Slot(const std::atomic<bool>& stop) : channel(stop), reply(channel) {}

    int index = 0;
    std::atomic<bool> busy{false};
    AutoResetEvent event;
    std::mutex socketMutex;  // stop() shuts down under it; the worker closes under it
    int socket = -1;
    bool denied = false;
    std::uint32_t address = 0;
    std::unique_ptr<std::uint8_t[]> request{new std::uint8_t[requestBufferSize]};
    SocketChannel channel;
    ReplyOutput reply;
    std::thread thread;
};

HttpServer::HttpServer(ServerHost& host_, InstanceTable& table_)
    : host(host_), table(table_), requestRouter(std::make_unique<Router>(serverMutex, table_, 0)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start(const Config& config_) {
    if (started) return listeningPort.load() != 0;
    started = true;
    config = config_;
    requestRouter->configure(config.instanceIndex, config.limits.serverMutexWait);
    sessions.clear();
    if (content::InstanceAccess* instance = host.instanceAccess()) {
        objectsJsRoute = std::make_unique<ObjectsJsRoute>(sessions, *instance, stopFlag, config.instanceIndex);
        updateRoute = std::make_unique<UpdateRoute>(sessions, *instance);
        jsonRoute = std::make_unique<JsonRoute>(sessions, *instance);
        requestRouter->plug(Router::Route::ObjectsJs, objectsJsRoute.get());
        requestRouter->plug(Router::Route::Update, updateRoute.get());
        requestRouter->plug(Router::Route::Json, jsonRoute.get());
    }
    whiteListCopy = host.whiteListText().substr(0, WhiteList::textLimit);
    whiteList = WhiteList(whiteListCopy);
    for (const auto& r : whiteList.refused()) {
        host.warn("Web white list: entry \"" + r.text + "\" refused: " + r.reason);
    }
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);

    // Workers first, so that no hand-over can reach a slot before its worker waits.
    for (int i = 0; i < ServerLimits::workerCount; ++i) {
        slots[i] = std::make_unique<Slot>(stopFlag);
        slots[i]->index = i;
    }
    for (int i = 0; i < ServerLimits::workerCount; ++i) {
        Slot& slot = *slots[i];
        slot.thread = startThread({"http-worker-" + std::to_string(i), lowestPriority}, [this, &slot] {
            while (!stopFlag.load()) {
                if (host.runGuarded("HTTP Worker", [this, &slot] { workerLoop(slot); })) break;
                // The connection of a failed pass is closed before the loop starts again.
                closeConnection(slot);
            }
        });
    }
    const bool open = config.port != 0 || config.anyPort ? openListener() : false;
    listenerThread = startThread({"http-listener", lowestPriority}, [this] {
        host.runGuarded("HTTP Server", [this] { listenLoop(); });
    });
    return open;
}

void HttpServer::stop() {
    if (!started) return;
    stopFlag = true;
    wakeListener();
    if (listenerThread.joinable()) listenerThread.join();
    for (auto& slot : slots) {
        if (!slot) continue;
        {
            std::lock_guard lock(slot->socketMutex);
            if (slot->socket >= 0) ::shutdown(slot->socket, SHUT_RDWR);
        }
        slot->event.set();
    }
    for (auto& slot : slots) {
        if (slot && slot->thread.joinable()) slot->thread.join();
    }
    if (wakeFd >= 0) {
        ::close(wakeFd);
        wakeFd = -1;
    }
    started = false;
}

void HttpServer::wakeListener() {
    if (wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
}

// ---- listener ----

bool HttpServer::openListener() {
    const std::uint16_t port = config.anyPort ? 0 : config.port;
    listenSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    bool ok = listenSocket >= 0;
    if (ok) {
        const int on = 1;
        ::setsockopt(listenSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ok = ::inet_pton(AF_INET, config.bindAddress.c_str(), &a.sin_addr) == 1 &&
             ::bind(listenSocket, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
             ::listen(listenSocket, ServerLimits::listenBacklog) == 0;
    }
    if (ok) {
        sockaddr_in bound{};
        socklen_t size = sizeof bound;
        ::getsockname(listenSocket, reinterpret_cast<sockaddr*>(&bound), &size);
        listeningPort = ntohs(bound.sin_port);
        std::fprintf(stderr, "Opened web server http socket on port %d.\n", static_cast<int>(listeningPort.load()));
        return true;
    }
    std::fprintf(stderr, "Error: Opening web server http socket on port %d failed!\n", static_cast<int>(port));
    closeListener();
    return false;
}

void HttpServer::closeListener() {
    for (std::size_t i = waiting.size(); i-- > 0;) closeWaiting(i);
    if (listenSocket >= 0) {
        ::close(listenSocket);
        listenSocket = -1;
        std::printf("Closed web server http socket.\n");
        std::fflush(stdout);
    }
    listeningPort = 0;
}

void HttpServer::listenLoop() {
    if (config.port == 0 && !config.anyPort) return;
    bool waitFirst = listenSocket < 0;  // the opening in start() failed
    while (!stopFlag.load()) {
        if (listenSocket < 0) {
            if (waitFirst) {
                // Try again later, waking at once for a stop.
                pollfd p{wakeFd, POLLIN, 0};
                const auto until = Clock::now() + reopenDelay;
                while (!stopFlag.load() && Clock::now() < until) ::poll(&p, 1, 100);
                if (stopFlag.load()) break;
            }
            waitFirst = true;
            if (!openListener()) continue;
        }
        std::vector<pollfd> fds;
        fds.push_back({wakeFd, POLLIN, 0});
        // While the waiting list is full, new connections stay in the backlog.
        fds.push_back({canAccept() ? listenSocket : -1, POLLIN, 0});
        std::vector<std::size_t> watched;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            if (waiting[i].ready) continue;  // already readable: waits for a worker, not for poll
            fds.push_back({waiting[i].socket, POLLIN, 0});
            watched.push_back(i);
        }
        const int n = ::poll(fds.data(), fds.size(), listenerPollMs);
        if (stopFlag.load()) break;
        if (n < 0 && errno != EINTR) {
            closeListener();
            continue;
        }
        if (n > 0) {
            if (fds[0].revents != 0) {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t r = ::read(wakeFd, &count, sizeof count);
            }
            const auto now = Clock::now();
            for (std::size_t k = 0; k < watched.size(); ++k) {
                if (fds[k + 2].revents != 0) {
                    waiting[watched[k]].ready = true;
                    waiting[watched[k]].since = now;
                }
            }
            if (fds[1].revents != 0) acceptConnections();
        }
        handOver();
        expireWaiting();
    }
    closeListener();
}

std::size_t HttpServer::evictable() const {
    // The oldest connection that has sent nothing for a while; a fresh one is left alone, as its
    // request is usually on its way.
    const auto now = Clock::now();
    std::size_t oldest = waiting.size();
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        if (!waiting[i].ready && now - waiting[i].since >= config.limits.evictAfter &&
            (oldest == waiting.size() || waiting[i].since < waiting[oldest].since)) {
            oldest = i;
        }
    }
    return oldest;
}

bool HttpServer::canAccept() const {
    return waiting.size() < ServerLimits::maxWaiting || evictable() != waiting.size();
}

void HttpServer::acceptConnections() {
    for (int accepted = 0; accepted < 64; ++accepted) {
        if (waiting.size() >= ServerLimits::maxWaiting) {
            // Full: the oldest silent connection makes room; without one, newcomers wait in the
            // backlog until a connection leaves the list.
            const std::size_t oldest = evictable();
            if (oldest == waiting.size()) return;
            closeWaiting(oldest);
        }
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        const int fd = ::accept4(listenSocket, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        // The white list as it reads now: a changed setting takes effect at the next connection.
        std::string text = host.whiteListText();
        if (text.size() > WhiteList::textLimit) text.resize(WhiteList::textLimit);
        if (text != whiteListCopy) {
            whiteListCopy = std::move(text);
            whiteList = WhiteList(whiteListCopy);
            for (const auto& r : whiteList.refused()) {
                host.warn("Web white list: entry \"" + r.text + "\" refused: " + r.reason);
            }
        }
        const std::uint32_t address = ntohl(peer.sin_addr.s_addr);
        // A request that came with the connection makes it ready at once.
        std::uint8_t peek = 0;
        const ssize_t pending = ::recv(fd, &peek, 1, MSG_PEEK | MSG_DONTWAIT);
        const bool ready = pending >= 0;  // data, or the client's end
        waiting.push_back({fd, whiteList.allows(address), address, Clock::now(), ready});
    }
}

void HttpServer::handOver() {
    for (;;) {
        // The connection that has waited longest since it became ready goes first.
        std::size_t next = waiting.size();
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            if (waiting[i].ready && (next == waiting.size() || waiting[i].since < waiting[next].since)) next = i;
        }
        if (next == waiting.size()) return;
        Slot* free = nullptr;
        for (auto& slot : slots) {
            if (!slot->busy.load()) {
                free = slot.get();
                break;
            }
        }
        if (free == nullptr) return;
        const Waiting w = waiting[next];
        waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(next));
        setNonBlocking(w.socket, false);
        const timeval sendTimeout{static_cast<time_t>(config.limits.sendTimeout.count() / 1000),
                                  static_cast<suseconds_t>((config.limits.sendTimeout.count() % 1000) * 1000)};
        ::setsockopt(w.socket, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
        {
            std::lock_guard lock(free->socketMutex);
            free->socket = w.socket;
        }
        free->denied = !w.allowed;
        free->address = w.address;
        free->busy = true;
        free->event.set();
    }
}

void HttpServer::expireWaiting() {
    const auto now = Clock::now();
    for (std::size_t i = waiting.size(); i-- > 0;) {
        if (waiting[i].ready && now - waiting[i].since >= config.limits.busyWait) {
            const int fd = waiting[i].socket;
            waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(i));
            refuseBusy(fd);
        } else if (!waiting[i].ready && now - waiting[i].since >= config.limits.idleTimeout) {
            closeWaiting(i);
        }
    }
}

void HttpServer::refuseBusy(int socket) {
    [[maybe_unused]] const ssize_t n = ::send(socket, busyReply.data(), busyReply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(socket, SHUT_WR);
    std::uint8_t drain[512];
    while (::recv(socket, drain, sizeof drain, MSG_DONTWAIT) > 0) {
    }
    ::close(socket);
}

void HttpServer::closeWaiting(std::size_t i) {
    ::close(waiting[i].socket);
    waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(i));
}

// ---- workers ----

void HttpServer::workerLoop(Slot& slot) {
    while (!stopFlag.load()) {
        slot.event.wait();
        int socket = -1;
        {
            std::lock_guard lock(slot.socketMutex);
            socket = slot.socket;
        }
        if (socket < 0) continue;  // woken by stop
        serveConnection(slot);
        closeConnection(slot);
    }
}

void HttpServer::closeConnection(Slot& slot) {
    std::lock_guard lock(slot.socketMutex);
    if (slot.socket >= 0) {
        // Half-close and let the client read the reply to its end before the socket goes.
        if (slot.channel.sentAny() && !slot.channel.sendFailed() && !stopFlag.load()) {
            ::shutdown(slot.socket, SHUT_WR);
            pollfd p{slot.socket, POLLIN, 0};
            const auto until = Clock::now() + config.limits.lingerTimeout;
            std::uint8_t drain[512];
            while (!stopFlag.load()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
                if (left <= 0 || ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 250))) < 0) break;
                if (p.revents == 0) continue;
                if (::recv(slot.socket, drain, sizeof drain, MSG_DONTWAIT) <= 0) break;
            }
        }
        ::close(slot.socket);
        slot.socket = -1;
    }
    if (slot.busy.exchange(false)) wakeListener();
}

void HttpServer::sendAccessDenied(Slot& slot) {
    SocketChannel& out = slot.channel;
    out.send(deniedHead.data(), deniedHead.size());
    out.send(deniedOpen.data(), deniedOpen.size());
    out.send(deniedHelp.data(), deniedHelp.size());
    out.send(deniedAddressOpen.data(), deniedAddressOpen.size());
    const std::string address = formatIpv4(slot.address);
    out.send(address.data(), address.size());
    out.send(deniedAddressClose.data(), deniedAddressClose.size());
    out.send(deniedClose.data(), deniedClose.size());
}

void HttpServer::serveConnection(Slot& slot) {
    SocketChannel& channel = slot.channel;
    channel.attach(slot.socket);
    slot.reply.startConnection(false);
    char* text = reinterpret_cast<char*>(slot.request.get());

    // The request head: everything up to its end, at most 32,768 bytes, within the time limit.
    channel.setDeadline(Clock::now() + config.limits.headerTimeout);
    std::size_t received = 0;
    while (received < maxRequestBytes && !stopFlag.load()) {
        const long n = channel.receive(slot.request.get() + received, maxRequestBytes - received);
        if (n <= 0) break;
        const std::size_t before = received;
        received += static_cast<std::size_t>(n);
        if (findHeaderEnd(text, received, before) != 0) break;
    }
    text[received] = '\0';
    if (slot.denied) {
        sendAccessDenied(slot);
        return;
    }
    // A head cut off by the time limit is not served: a slow client gets nothing.
    if (channel.timedOut()) return;

    HttpRequest request;
    if (!parseHttpRequest(std::string_view(text, received), request)) return;
    if (request.keyTooLong) {
        slot.reply.sendError(400, "BAD REQUEST", "WebSocket key too long");
        return;
    }
    const bool upgrade = !request.webSocketKey.empty();
    if ((upgrade || request.fakeMode) && request.crossSite) {
        slot.reply.sendError(403, "FORBIDDEN", "Cross-site request refused");
        return;
    }
    RouteRequest route;
    route.slot = slot.index;
    route.crossSite = request.crossSite;
    route.reply = &slot.reply;
    if (!upgrade && !request.fakeMode) {
        route.path = request.path;
        requestRouter->serve(route);
        return;
    }
    if (upgrade) {
        const std::string reply = webSocketHandshakeReply(request.webSocketKey);
        channel.send(reply.data(), reply.size());
    }
    route.webSocketMode = upgrade;
    route.fakeMode = request.fakeMode;
    slot.reply.startConnection(upgrade);

    // One frame after the other; each message is routed like a request path.
    while (!stopFlag.load() && !channel.sendFailed()) {
        channel.setDeadline(Clock::now() + config.limits.webSocketIdle, config.limits.frameTimeout);
        const FrameReader::Result frame =
            FrameReader::read(channel, slot.request.get(), requestBufferSize, request.fakeMode);
        if (!frame.reply.empty()) channel.send(frame.reply.data(), frame.reply.size());
        if (frame.kind == FrameReader::Kind::Message) {
            route.path = frame.message;
            requestRouter->serve(route);
        }
        if (frame.kind == FrameReader::Kind::Close || frame.kind == FrameReader::Kind::Refused) break;
    }
}

}  // namespace kestrava::web
