#include "web/StaticFileRoute.h"

#include "model/InstanceModelLock.h"
#include "web/EmbeddedAssetTable.h"
#include "web/StaticTarget.h"

#include <cstdio>

namespace kestrava::web {

StaticFileRoute::StaticFileRoute() : StaticFileRoute(Folders{}) {}

StaticFileRoute::StaticFileRoute(Folders folders_)
    : folders(std::move(folders_)), working(folders.working), web(folders.web) {}

void StaticFileRoute::scanFolders() {
    working = ConfinedFolder(folders.working);
    web = ConfinedFolder(folders.web);
}

void StaticFileRoute::serve(RouteRequest& request) {
    // Files touch nothing of the instance: a slow client must not hold up the other requests.
    request.model = nullptr;
    if (request.modelLock != nullptr) request.modelLock->release();
    if (request.serverLock != nullptr) request.serverLock->release();

    ReplyOutput& reply = *request.reply;
    if (Router::classify(request.path) == Router::Route::Favicon) {
        serveAsset(reply, request.path.substr(1), "image/x-icon");
        return;
    }
    const StaticTarget target = StaticTarget::of(request.path);
    switch (target.source) {
        case StaticTarget::Source::Refused:
            reply.sendPlain(forbidden);
            return;
        case StaticTarget::Source::Disk:
            serveDiskFile(reply, target.name, target.contentType);
            return;
        case StaticTarget::Source::Asset:
            serveAsset(reply, target.name, target.contentType);
            return;
    }
}

bool StaticFileRoute::sendFile(ReplyOutput& reply, const std::string& path, std::string_view contentType) {
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr) return false;
    reply.sendOkHeader(contentType, true, false);
    char chunk[chunkBytes];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file);
        if (n > 0) reply.sendPlain(std::string_view(chunk, n));
        if (n < sizeof chunk) break;  // the end, or a read error: the body ends here
    }
    std::fclose(file);
    return true;
}

void StaticFileRoute::serveDiskFile(ReplyOutput& reply, std::string_view name, std::string_view contentType) const {
    const auto path = working.resolve(name);
    if (!path || !sendFile(reply, *path, contentType)) reply.sendPlain(diskNotFound);
}

void StaticFileRoute::serveAsset(ReplyOutput& reply, std::string_view name, std::string_view contentType) const {
    name = name.substr(0, assetNameLimit);
    if (web.present()) {
        if (const auto path = web.resolve(name); path && sendFile(reply, *path, contentType)) return;
    }
    std::string stored(name);
    stored += ".gz";
    if (const auto bytes = EmbeddedAssetTable::find(stored)) {
        reply.sendOkHeader(contentType, true, true);
        reply.sendPlain(*bytes);
    } else if (const auto plain = EmbeddedAssetTable::find(name)) {
        reply.sendOkHeader(contentType, true, false);
        reply.sendPlain(*plain);
    } else {
        reply.sendPlain(assetNotFound);
    }
}

}  // namespace kestrava::web
