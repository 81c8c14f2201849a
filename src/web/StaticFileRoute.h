#pragma once

#include "web/ConfinedFolder.h"
#include "web/Router.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrava::web {

// The static files of the web interface (the router's static and favicon routes): files under
// "/html/" from the working directory, and the browser client's files from the ".web" folder
// when it holds them, else from the program (EmbeddedAssetTable). StaticTarget decides what a
// path names; every file name is confined to its folder (ConfinedFolder). Replies are plain
// HTTP/1.0, cacheable for an hour; the embedded files go out gzipped as they are stored. The
// router's locks are given back first: files need nothing of the instance.
class StaticFileRoute : public RouteHandler {
public:
    struct Folders {
        std::string working = ".";  // "/html/" files
        std::string web = ".web";   // overrides the embedded files, when present at the start
    };
    static constexpr std::size_t assetNameLimit = 127;  // longer asset names are cut
    static constexpr std::size_t chunkBytes = 1024;     // a disk file goes out in pieces of this

    static constexpr std::string_view forbidden =
        "HTTP/1.0 403 FORBIDDEN\r\nContent-Type: text/html; charset=UTF-8\r\n\r\nNo access to this URL!";
    static constexpr std::string_view diskNotFound =
        "HTTP/1.0 404 NOT FOUND\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n"
        "Requested file not found inside Kestrava subdirectory!";
    static constexpr std::string_view assetNotFound =
        "HTTP/1.0 404 NOT FOUND\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n"
        "Requested file not found inside Kestrava binary!";

    StaticFileRoute();  // the working directory and its ".web"
    explicit StaticFileRoute(Folders folders);

    // Looks at the folders again; the server calls it at its start, so that a ".web" folder made
    // later counts from the next start on. Not while requests are served.
    void scanFolders();
    bool webFolderPresent() const { return web.present(); }

    void serve(RouteRequest& request) override;

    // One complete reply for the web asset `name` (no leading "/"): the ".web" folder's file as
    // it lies on disk, else the embedded "<name>.gz" with the gzip encoding line, else an
    // embedded entry named exactly `name` as plain bytes, else the 404 reply.
    void serveAsset(ReplyOutput& reply, std::string_view name, std::string_view contentType) const;

private:
    void serveDiskFile(ReplyOutput& reply, std::string_view name, std::string_view contentType) const;
    // Sends the header and the file's bytes; false, and nothing sent, when it does not open.
    static bool sendFile(ReplyOutput& reply, const std::string& path, std::string_view contentType);

    Folders folders;
    ConfinedFolder working;
    ConfinedFolder web;
};

}  // namespace kestrava::web
