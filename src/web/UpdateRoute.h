#pragma once

#include "params/WordWriter.h"
#include "web/Router.h"
#include "web/ServerLimits.h"
#include "web/SessionCheck.h"
#include "web/UpdateBody.h"

#include <array>
#include <cstddef>

namespace kestrava::web {

// "/update" + session number + "/" + groups: the browser's polling and input call. Each group is
// applied to its widget, and the reply holds, per widget that had something to say, its words
// and the end word 9999, as 16-bit words low byte first:
//   plain HTTP   the 200 octet-stream header, then the words
//   WebSocket    one binary message: status 00 00, then the words (long replies fragmented)
//   fixed-record mode   the words alone
// A reply is sent in parts of about 131,072 words, each ending after an end word; memory stays
// bounded whatever the request asks.
class UpdateRoute : public RouteHandler {
public:
    static constexpr std::uint16_t endWord = 9999;
    static constexpr std::size_t partWords = 131'072;

    UpdateRoute(SessionTable& sessions, content::InstanceAccess& instance);

    bool beforeLocks(RouteRequest& request) override;
    void serve(RouteRequest& request) override;

private:
    struct SlotState {
        UpdateBody body;
        params::WordWriter words;
    };

    // Sends the words gathered so far as one part of the reply.
    static void sendPart(RouteRequest& request, params::WordWriter& words, bool final);

    SessionCheck check;
    content::InstanceAccess& instance;
    std::array<SlotState, ServerLimits::workerCount> slots;
};

}  // namespace kestrava::web
