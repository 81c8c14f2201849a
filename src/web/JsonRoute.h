#pragma once

#include "web/JsonRequest.h"
#include "web/Router.h"
#include "web/ServerLimits.h"
#include "web/SessionCheck.h"

#include <array>
#include <string>

namespace kestrava::web {

// "/json" + session number + "/" + URL-encoded body: remote control by parameter id. The session
// check is the one of "/update" (no session: "/json-1/"). The reply is always a 200 with one
// entry per object of the body (JsonRequest, JsonEntries):
//   plain HTTP          the application/json header, then the text
//   WebSocket           one text message (fragmented when it outgrows the output buffer)
//   fixed-record mode   the text alone
// A malformed body gives one diagnostic line for the operator. When a value was taken, the
// change goes on to the running encoder before the locks are released.
class JsonRoute : public RouteHandler {
public:
    static constexpr std::string_view plainHeader =
        "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n\r\n";

    JsonRoute(SessionTable& sessions, content::InstanceAccess& instance);

    bool beforeLocks(RouteRequest& request) override;
    void serve(RouteRequest& request) override;

private:
    struct SlotState {
        std::string body;  // the decoded body; its capacity is kept between requests
        JsonRequest parser;
    };

    SessionCheck check;
    content::InstanceAccess& instance;
    std::array<SlotState, ServerLimits::workerCount> slots;
};

}  // namespace kestrava::web
