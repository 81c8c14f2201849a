#pragma once

#include "web/Router.h"

#include <functional>
#include <string>
#include <string_view>

namespace kestrava::web {

// The log viewer pages, plain HTML fragments:
//   "/log/"        this program's log files in the instance's log folder, newest first, as links;
//   "/log/<name>"  one of them, one coloured line per log line (LineStyle).
// Only bare names of this program's log files are served ("kestrava_" ... ".log", letters,
// digits, "_", "-", "."), and only when the file's real path lies in the log folder. Names and
// lines are HTML-escaped. The page learns the log folder under the router's locks and gives both
// locks back before it reads the folder, so a long file never holds up the other requests.
class LogViewer : public RouteHandler {
public:
    using FolderOf = std::function<std::string(Model&)>;
    static constexpr std::size_t lineLimit = 256;  // longer log lines continue on the next page line
    static constexpr std::size_t nameLimit = 245;  // longest name served

    LogViewer();  // the log folder of the Model's instance paths
    explicit LogViewer(FolderOf folderOf);

    void serve(RouteRequest& request) override;  // the list and file routes

    static bool isLogFileName(std::string_view name);

    // The colour and weight of a log line, by its level word (positions 24 to 31 of the line).
    struct LineStyle {
        std::string_view colour;
        bool bold = false;
        bool operator==(const LineStyle&) const = default;
    };
    static LineStyle styleOf(std::string_view line);

private:
    static void sendList(ReplyOutput& reply, const std::string& folder);
    static void sendFile(ReplyOutput& reply, std::string_view name, const std::string& folder);

    FolderOf folderOf;
};

}  // namespace kestrava::web
