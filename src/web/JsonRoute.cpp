#include "web/JsonRoute.h"

#include "params/Param.h"
#include "params/ids/ParamId.h"
#include "web/JsonEntries.h"

#include <fmt/format.h>

namespace kestrava::web {

JsonRoute::JsonRoute(SessionTable& sessions, content::InstanceAccess& instance_)
    : check(sessions, instance_), instance(instance_) {}

bool JsonRoute::beforeLocks(RouteRequest& request) { return check.beforeLocks(request, 5); }

void JsonRoute::serve(RouteRequest& request) {
    if (!check.underLocks(request)) return;
    Model& model = *request.model;
    ReplyOutput& out = *request.reply;
    if (!request.webSocketMode && !request.fakeMode) out.sendPlain(plainHeader);

    SlotState& slot = slots[static_cast<std::size_t>(request.slot) % slots.size()];
    slot.body.assign(JsonRequest::bodyOf(request.path));
    slot.body.resize(JsonRequest::urlDecode(slot.body.data(), slot.body.size()));

    JsonReply reply([&out](std::string_view piece) { out.append(piece); });
    const int view = request.view;
    const JsonRequest::Result result =
        slot.parser.parse(slot.body, reply, [&](JsonReply& r, std::int64_t id, std::optional<std::string_view> value) {
            params::Param* p = id >= 0 && id < ID_IDCOUNT ? instance.findParam(model, static_cast<std::int32_t>(id)) : nullptr;
            if (p == nullptr) {
                r.entry(fmt::format("\"{}\": \"ERROR_UNKNOWN_ID\"", id));
                return;
            }
            JsonEntries::write(r, *p, view, value);
        });
    out.finish();
    if (!result.error.empty()) instance.diagnostic(JsonRequest::diagnostic(slot.body, result));
    instance.processClientChanges(model);
}

}  // namespace kestrava::web
