#pragma once

#include "web/Router.h"
#include "web/SessionTable.h"
#include "web/content/InstanceAccess.h"

#include <atomic>
#include <cstdint>

namespace kestrava::web {

// "/objects.js", optionally "?" and a session id: the generated script of every page. No id (or
// 0) opens a new session, -1 means none; an id that no record holds gets the 409 reply. A new
// session that takes over the record of another page logs both views of that page out.
// Plain HTTP only (the router refuses it on a WebSocket).
class ObjectsJsRoute : public RouteHandler {
public:
    ObjectsJsRoute(SessionTable& sessions, content::InstanceAccess& instance, const std::atomic<bool>& stop,
                   std::int32_t instanceIndex);

    void serve(RouteRequest& request) override;

private:
    SessionTable& sessions;
    content::InstanceAccess& instance;
    const std::atomic<bool>& stop;
    std::int32_t instanceIndex;
};

}  // namespace kestrava::web
