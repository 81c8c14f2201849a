#pragma once

#include "platform/AutoResetEvent.h"
#include "web/JsonRoute.h"
#include "web/ReplyOutput.h"
#include "web/ObjectsJsRoute.h"
#include "web/Router.h"
#include "web/ServerHost.h"
#include "web/ServerLimits.h"
#include "web/ServerMutex.h"
#include "web/SessionTable.h"
#include "web/SocketChannel.h"
#include "web/UpdateRoute.h"
#include "web/WhiteList.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class InstanceTable;

namespace kestrava::web {

// The web server of an instance: one listener thread that accepts connections on the web port,
// judges each client's IPv4 address against the white list and hands a connection, once it has
// sent something, to one of ten workers; each worker serves its connection from the first byte
// to the close (one request per HTTP connection, or a WebSocket until it ends) and routes every
// request under the server mutex and the instance's Model lock.
//
// Ownership: the listener alone owns the listening socket and the connections that wait for a
// worker; a worker alone closes the connection it was handed. stop() only shuts sockets down.
class HttpServer {
public:
    struct Config {
        std::int32_t instanceIndex = 0;
        std::uint16_t port = 8080;  // 0: the server does not listen
        std::string bindAddress = "0.0.0.0";
        bool anyPort = false;       // bind port 0 and let the system choose (see boundPort())
        ServerLimits limits;
    };

    static constexpr std::size_t requestBufferSize = 32'896;  // a request head, a NUL and room for a frame
    static constexpr auto reopenDelay = std::chrono::seconds(60);

    HttpServer(ServerHost& host, InstanceTable& table);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Parses the white list, starts the workers and then the listener; the first opening of the
    // socket happens here, so the port is known on return (false: not listening yet, retried
    // every 60 s). Call once.
    bool start(const Config& config);
    // Ends every thread: sockets are shut down, threads joined. Safe to call more than once.
    void stop();

    std::uint16_t boundPort() const { return listeningPort.load(); }
    // Later parts of the web interface plug their routes in before start().
    Router& router() { return *requestRouter; }
    // The web sessions; all free after start().
    SessionTable& sessionTable() { return sessions; }

private:
    struct Slot;
    struct Waiting {
        int socket = -1;
        bool allowed = false;
        std::uint32_t address = 0;
        std::chrono::steady_clock::time_point since{};  // accepted, or ready
        bool ready = false;                              // data or its end have arrived
    };

    bool openListener();
    void closeListener();
    void listenLoop();
    void acceptConnections();
    std::size_t evictable() const;
    bool canAccept() const;
    void handOver();
    void expireWaiting();
    void refuseBusy(int socket);
    void closeWaiting(std::size_t i);
    void wakeListener();

    void workerLoop(Slot& slot);
    void serveConnection(Slot& slot);
    void sendAccessDenied(Slot& slot);
    void closeConnection(Slot& slot);

    ServerHost& host;
    InstanceTable& table;
    Config config;
    std::atomic<bool> stopFlag{false};
    bool started = false;
    ServerMutex serverMutex;
    std::unique_ptr<Router> requestRouter;
    SessionTable sessions;
    std::unique_ptr<ObjectsJsRoute> objectsJsRoute;
    std::unique_ptr<UpdateRoute> updateRoute;
    std::unique_ptr<JsonRoute> jsonRoute;

    // Listener state (listener thread only, after start).
    int listenSocket = -1;
    int wakeFd = -1;
    std::atomic<std::uint16_t> listeningPort{0};
    std::vector<Waiting> waiting;
    std::string whiteListCopy;
    WhiteList whiteList;
    std::thread listenerThread;

    std::array<std::unique_ptr<Slot>, ServerLimits::workerCount> slots;
};

}  // namespace kestrava::web
