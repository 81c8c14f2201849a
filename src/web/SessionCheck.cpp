#include "web/SessionCheck.h"

#include "web/SessionNumber.h"

namespace kestrava::web {

bool SessionCheck::beforeLocks(RouteRequest& request, std::size_t prefixLength) const {
    const std::string_view path = request.path;
    request.sessionId = parseSessionNumber(path.size() > prefixLength ? path.substr(prefixLength) : std::string_view{});
    if (request.sessionId == SessionTable::noSession) {
        request.view = SessionTable::sessionlessView;
    } else {
        request.view = sessions.touch(request.sessionId);
        if (request.view < 0) {
            request.reply->sendError(409, "SESSION ERROR", staleText);
            if (!request.fakeMode) instance.pause(stalePause);
            return false;
        }
    }
    if (!request.fakeMode) instance.waitForInput(request.view, inputWait);
    return true;
}

bool SessionCheck::underLocks(RouteRequest& request) const {
    if (request.sessionId != SessionTable::noSession && !sessions.holds(request.sessionId, request.view)) {
        request.reply->sendError(409, "SESSION ERROR", staleText);
        return false;
    }
    if (request.view <= 0) {
        request.reply->sendError(404, "NOT FOUND", "Page not found");
        return false;
    }
    instance.prepareForRedraw(*request.model, request.view);
    return true;
}

}  // namespace kestrava::web
