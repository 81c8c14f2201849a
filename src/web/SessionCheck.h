#pragma once

#include "web/Router.h"
#include "web/SessionTable.h"
#include "web/content/InstanceAccess.h"

#include <chrono>
#include <cstddef>
#include <string_view>

namespace kestrava::web {

// The session check that "/update" and "/json" share. Before any lock: the session number right
// after the route's name gives the client's view (29 without a session, -1 naming no session);
// a stale session gets the 409 reply and, outside the fixed-record mode, a pause; otherwise the
// request waits up to 150 ms for fresh input in its view. After the locks: a session taken over
// meanwhile gets the 409 too, and the parameter set is prepared for the view.
class SessionCheck {
public:
    static constexpr std::chrono::milliseconds inputWait{150};
    static constexpr std::chrono::milliseconds stalePause{50};
    static constexpr std::string_view staleText =
        "Session is no longer active. If you are trying to remotely control Kestrava, use (fake) session ID -1, "
        "so /update-1/...";

    SessionCheck(SessionTable& sessions, content::InstanceAccess& instance) : sessions(sessions), instance(instance) {}

    // `prefixLength`: 7 for "/update", 5 for "/json". False when the request has been answered.
    bool beforeLocks(RouteRequest& request, std::size_t prefixLength) const;
    bool underLocks(RouteRequest& request) const;

private:
    SessionTable& sessions;
    content::InstanceAccess& instance;
};

}  // namespace kestrava::web
