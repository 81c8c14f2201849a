#include "web/Router.h"

#include "model/InstanceModelLock.h"

namespace kestrava::web {

namespace {

bool startsWith(std::string_view path, std::string_view word) { return path.substr(0, word.size()) == word; }

// Replies that exist only as plain HTTP.
bool plainOnly(Router::Route route) {
    return route != Router::Route::Update && route != Router::Route::Json && route != Router::Route::NotFound;
}

bool changesState(Router::Route route) { return route == Router::Route::Update || route == Router::Route::Json; }

}  // namespace

Router::Route Router::classify(std::string_view path) {
    if (path == "/websocket") return Route::WebSocketPath;
    if (path == "/log") return Route::LogRedirect;
    if (path == "/log/") return Route::LogList;
    if (startsWith(path, "/log/")) return Route::LogFile;
    if (startsWith(path, "/objects.js")) return Route::ObjectsJs;
    if (startsWith(path, "/update")) return Route::Update;
    if (startsWith(path, "/json")) return Route::Json;
    if (startsWith(path, "/favicon.ico")) return Route::Favicon;
    if (startsWith(path, "/")) return Route::Static;
    return Route::NotFound;
}

Router::Router(ServerMutex& serverMutex_, InstanceTable& table_, std::int32_t instanceIndex_,
               std::chrono::milliseconds serverWait_)
    : serverMutex(serverMutex_), table(table_), instanceIndex(instanceIndex_), serverWait(serverWait_) {}

void Router::configure(std::int32_t instanceIndex_, std::chrono::milliseconds serverWait_) {
    instanceIndex = instanceIndex_;
    serverWait = serverWait_;
}

void Router::plug(Route route, RouteHandler* handler) {
    if (route < Route::count) handlers[static_cast<std::size_t>(route)] = handler;
}

void Router::serve(RouteRequest request) {
    ReplyOutput& reply = *request.reply;
    const Route route = classify(request.path);
    if (request.webSocketMode && plainOnly(route)) {
        reply.sendError(400, "BAD REQUEST", "Not available over WebSocket");
        return;
    }
    if (request.crossSite && changesState(route)) {
        reply.sendError(403, "FORBIDDEN", "Cross-site request refused");
        return;
    }
    RouteHandler* handler = handlers[static_cast<std::size_t>(route)];
    if (handler != nullptr && !handler->beforeLocks(request)) return;

    // Locks in this order, released in reverse by the destructors: only what was taken.
    ServerLock serverLock(serverMutex, serverWait);
    if (!serverLock.owns()) {
        reply.sendError(500, "SERVER ERROR", "500 Server error");
        return;
    }
    InstanceModelLock modelLock(table, instanceIndex);
    if (!modelLock) return;
    request.model = modelLock.model();
    request.serverLock = &serverLock;
    request.modelLock = &modelLock;

    switch (route) {
        case Route::WebSocketPath:
            reply.sendPlain("HTTP/1.0 500 NO WEBSOCKETS\r\n\r\n");
            return;
        case Route::LogRedirect:
            reply.sendPlain("HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
            return;
        default:
            break;
    }
    if (handler != nullptr) {
        handler->serve(request);
        return;
    }
    reply.sendError(404, "NOT FOUND", "Page not found");
}

}  // namespace kestrava::web
