#include "web/UpdateRoute.h"

#include "params/Param.h"
#include "params/WidgetUpdate.h"
#include "params/ids/ParamId.h"
#include "platform/ErrorState.h"

#include <fmt/format.h>

#include <algorithm>

namespace kestrava::web {

namespace {

constexpr std::string_view plainHeader =
    "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nAccess-Control-Allow-Origin: *\r\n\r\n";

}  // namespace

UpdateRoute::UpdateRoute(SessionTable& sessions, content::InstanceAccess& instance_)
    : check(sessions, instance_), instance(instance_) {}

bool UpdateRoute::beforeLocks(RouteRequest& request) { return check.beforeLocks(request, 7); }

void UpdateRoute::sendPart(RouteRequest& request, params::WordWriter& words, bool final) {
    ReplyOutput& reply = *request.reply;
    const std::vector<std::uint16_t>& all = words.data();
    // The words go behind the reserve where the frame header and status are written; a part
    // larger than the buffer goes out as several frames of the same message.
    constexpr std::size_t room = (ReplyOutput::bufferSize - ReplyOutput::binaryDataOffset) / 2;
    std::size_t done = 0;
    do {
        const std::size_t n = std::min(room, all.size() - done);
        std::uint8_t* bytes = reply.buffer() + ReplyOutput::binaryDataOffset;
        for (std::size_t k = 0; k < n; ++k) {
            bytes[2 * k] = static_cast<std::uint8_t>(all[done + k] & 0xFF);
            bytes[2 * k + 1] = static_cast<std::uint8_t>(all[done + k] >> 8);
        }
        done += n;
        // An empty reply is nothing at all on plain HTTP, and a frame with the status alone on
        // a WebSocket.
        if (n > 0 || reply.webSocket()) reply.sendBinary(bytes, 2 * n, final && done == all.size(), 0);
    } while (done < all.size());
    words.clear();
}

void UpdateRoute::serve(RouteRequest& request) {
    if (!check.underLocks(request)) return;
    Model& model = *request.model;
    if (!request.webSocketMode && !request.fakeMode) request.reply->sendPlain(plainHeader);

    const std::size_t slotIndex = static_cast<std::size_t>(request.slot) % slots.size();
    SlotState& slot = slots[slotIndex];
    slot.words.clear();
    const params::RequestContext context{request.view};
    const std::string_view body = UpdateBody::bodyOf(request.path);
    const UpdateBody::Result result = slot.body.read(body, [&](std::span<const std::int32_t> group) {
        const std::int32_t id = group[0] & 0xFFFF;
        params::Param* p = isParamIdIndex(id) ? instance.findParam(model, id) : nullptr;
        if (p == nullptr) {
            ErrorState::record(ErrorState::WebNotice, fmt::format("HttpServer: Got unknown widget ID: {}", id));
            return;
        }
        if (!params::applyWidgetUpdate(*p, context, group, slot.words)) return;
        slot.words.word(endWord);
        if (slot.words.size() > partWords) sendPart(request, slot.words, false);
    });
    sendPart(request, slot.words, true);
    if (result.badCharacters > 0) instance.diagnostic(UpdateBody::diagnostic(body, result));
    instance.processClientChanges(model);
}

}  // namespace kestrava::web
