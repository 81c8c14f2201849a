#include "web/ObjectsJsRoute.h"

#include "params/Param.h"
#include "web/SessionNumber.h"
#include "web/content/ObjectsScript.h"

namespace kestrava::web {

ObjectsJsRoute::ObjectsJsRoute(SessionTable& sessions_, content::InstanceAccess& instance_,
                               const std::atomic<bool>& stop_, std::int32_t instanceIndex_)
    : sessions(sessions_), instance(instance_), stop(stop_), instanceIndex(instanceIndex_) {}

void ObjectsJsRoute::serve(RouteRequest& request) {
    namespace script = content::objects_script;
    if (stop.load()) return;
    Model& model = *request.model;
    constexpr std::size_t nameLength = 11;  // "/objects.js"
    const std::string_view path = request.path;
    std::int32_t sessionId = 0;
    if (path.size() > nameLength && path[nameLength] == '?') sessionId = parseSessionNumber(path.substr(nameLength + 1));

    if (sessionId == 0) {
        const SessionTable::Opened opened = sessions.open(instanceIndex);
        sessionId = opened.sessionId;
        // The page that held the record has lost its session: both of its views log out. The
        // one Model this server reaches is already locked here.
        if (opened.previous.inUse() && opened.previous.instanceIndex == instanceIndex) {
            instance.logOut(model, opened.previous.viewIndex);
            instance.logOut(model, opened.previous.viewIndex + 1);
        }
    }
    if (sessionId != SessionTable::noSession && sessions.touch(sessionId) < 0) {
        request.reply->sendPlain(script::staleSessionReply);
        return;
    }
    const script::Writer write = [&](std::string_view text) { request.reply->sendPlain(text); };
    script::writeHead(sessionId, write);
    if (stop.load()) return;
    script::TableWriter table(write);
    instance.forEachParam(model, [&](params::Param& p) { table.add(p.id(), p.widgetType()); });
    table.finish();
}

}  // namespace kestrava::web
