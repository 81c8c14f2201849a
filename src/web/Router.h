#pragma once

#include "web/ReplyOutput.h"
#include "web/ServerMutex.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

class InstanceModelLock;
class InstanceTable;
class Model;

namespace kestrava::web {

// One message to route: the path of a plain HTTP request, or of one WebSocket message.
struct RouteRequest {
    int slot = 0;
    std::string_view path;
    bool webSocketMode = false;  // replies are frames
    bool fakeMode = false;       // fixed records without a handshake; replies go out raw
    bool crossSite = false;      // the connection was opened by a page of another site
    ReplyOutput* reply = nullptr;
    Model* model = nullptr;      // the instance's Model, with the instance table's mutex held
    ServerLock* serverLock = nullptr;  // a route that sends long may release it early
    InstanceModelLock* modelLock = nullptr;  // the same; `model` is then no longer to be used
    // Set by the session check of a route that has one.
    std::int32_t sessionId = -1;
    int view = -1;
};

// A route that a later part of the web interface provides.
class RouteHandler {
public:
    virtual ~RouteHandler() = default;
    // Runs before the server mutex and the Model lock are taken (a session check and its waits);
    // false when the request has been answered here.
    virtual bool beforeLocks(RouteRequest&) { return true; }
    virtual void serve(RouteRequest& request) = 0;
};

// Takes the server mutex and the instance's Model for every message, picks the route by a fixed
// chain of comparisons on the path, and releases both in reverse order. Paths are compared byte
// by byte, case-sensitively; no route decodes or splits them.
class Router {
public:
    enum class Route {
        WebSocketPath,  // "/websocket" exactly: refused, this server's WebSocket is on any other path
        LogRedirect,    // "/log" exactly: to "/log/"
        LogList,        // "/log/" exactly
        LogFile,        // "/log/" and a name
        ObjectsJs,      // begins with "/objects.js"
        Update,         // begins with "/update"
        Json,           // begins with "/json"
        Favicon,        // begins with "/favicon.ico"
        Static,         // any other path beginning with "/"
        NotFound,       // anything else
        count
    };
    static Route classify(std::string_view path);

    Router(ServerMutex& serverMutex, InstanceTable& table, std::int32_t instanceIndex,
           std::chrono::milliseconds serverWait = ServerMutex::defaultWait);

    // The instance whose Model serves the requests, and the wait for the server mutex; set before
    // the first message.
    void configure(std::int32_t instanceIndex, std::chrono::milliseconds serverWait);

    // Plugs a later route in; until then the route answers 404.
    void plug(Route route, RouteHandler* handler);

    // Routes one message. Refusals that need no lock come first, then the route's step before the
    // locks; then the locks. No Model registered: no reply at all. The server mutex not obtained
    // in time: "500 SERVER ERROR".
    void serve(RouteRequest request);

private:
    ServerMutex& serverMutex;
    InstanceTable& table;
    std::int32_t instanceIndex;
    std::chrono::milliseconds serverWait;
    std::array<RouteHandler*, static_cast<std::size_t>(Route::count)> handlers{};
};

}  // namespace kestrava::web
