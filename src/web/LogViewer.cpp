#include "web/LogViewer.h"

#include "model/CommonBase.h"
#include "model/InstanceModelLock.h"
#include "model/Model.h"
#include "web/ConfinedFolder.h"
#include "web/HtmlText.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace kestrava::web {

namespace {

constexpr std::string_view logPrefix = "kestrava_";
constexpr std::string_view logSuffix = ".log";
constexpr std::string_view htmlType = "text/html; charset=UTF-8";
constexpr std::size_t headingNameLimit = 480;
constexpr std::size_t readBlock = 65'536;

std::string instanceLogFolder(Model& model) {
    const CommonBase* common = model.modelCommon;
    return common != nullptr && common->instancePaths ? common->instancePaths->logFolder : std::string();
}

char at(std::string_view line, std::size_t i) { return i < line.size() ? line[i] : '\0'; }

void sendLine(ReplyOutput& reply, std::string_view line) {
    const LogViewer::LineStyle style = LogViewer::styleOf(line);
    std::string out = "<font color=\"";
    out += style.colour;
    out += style.bold ? "\"><b>" : "\">";
    appendHtmlEscaped(out, line);
    out += style.bold ? "</b></font><BR/>\n" : "</font><BR/>\n";
    reply.append(out);
}

void sendNotFound(ReplyOutput& reply, std::string_view shown) {
    std::string out = "<font color=#FF0000><b>File not found</b></font> - ";
    appendHtmlEscaped(out, shown.substr(0, headingNameLimit));
    out += "<BR/>\n";
    reply.append(out);
}

}  // namespace

LogViewer::LogViewer() : LogViewer(instanceLogFolder) {}

LogViewer::LogViewer(FolderOf folderOf_) : folderOf(std::move(folderOf_)) {}

bool LogViewer::isLogFileName(std::string_view name) {
    if (name.size() > nameLimit || name.size() <= logPrefix.size() + logSuffix.size()) return false;
    if (name.substr(0, logPrefix.size()) != logPrefix || name.substr(name.size() - logSuffix.size()) != logSuffix) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.';
    });
}

LogViewer::LineStyle LogViewer::styleOf(std::string_view line) {
    if (line.substr(0, 2) == "--") return {"#000000", true};
    std::string_view colour;
    switch (at(line, 23)) {
        case 'c': colour = "#FF0000"; break;
        case 'd': colour = "#A0A0A0"; break;
        case 'i': colour = "#009F00"; break;
        case 't': colour = "#808080"; break;
        case 'w': colour = "#DF6F00"; break;
        default: colour = "#0000FF"; break;
    }
    std::string_view level;
    if (at(line, 24) == 'c') {
        level = "#FF0000";
    } else if (at(line, 25) == 'w') {
        level = "#DF6F00";
    } else if (at(line, 27) == 'd') {
        level = "#A0A0A0";
    } else if (at(line, 27) == 't') {
        level = "#808080";
    } else if (at(line, 28) == 'i') {
        level = "#009F00";
    }
    if (level.empty()) return {colour, false};
    return {level, at(line, 24) == '-'};
}

void LogViewer::serve(RouteRequest& request) {
    const std::string folder = request.model != nullptr ? folderOf(*request.model) : std::string();
    // From here on nothing of the instance is used: the other requests go on while the page is
    // read and sent.
    request.model = nullptr;
    if (request.modelLock != nullptr) request.modelLock->release();
    if (request.serverLock != nullptr) request.serverLock->release();

    ReplyOutput& reply = *request.reply;
    if (!reply.sendOkHeader(htmlType, false, false)) return;
    if (Router::classify(request.path) == Router::Route::LogList) {
        sendList(reply, folder);
    } else {
        sendFile(reply, request.path.substr(5), folder);
    }
    reply.finish();
}

void LogViewer::sendList(ReplyOutput& reply, const std::string& folder) {
    reply.append("Kestrava log files:<BR/>\n<BR/>\n");
    std::vector<std::string> names;
    const ConfinedFolder logs(folder);
    std::error_code ec;
    if (logs.present()) {
        for (std::filesystem::directory_iterator it(logs.realPath(), ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (isLogFileName(name) && logs.resolve(name)) names.push_back(std::move(name));
        }
    }
    // The names carry their start time: the newest sorts last and is listed first.
    std::sort(names.begin(), names.end());
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        std::string line = "<a href=\"";
        appendHtmlEscaped(line, *it);
        line += "\">";
        appendHtmlEscaped(line, *it);
        line += "</a><BR/>\n";
        reply.append(line);
    }
    reply.append("<BR/>\nEnd of list.<BR/>");
}

void LogViewer::sendFile(ReplyOutput& reply, std::string_view name, const std::string& folder) {
    std::string heading = "Log file <b>";
    appendHtmlEscaped(heading, name.substr(0, headingNameLimit));
    heading += "</b><BR/>\n<BR/><tt>\n";
    reply.append(heading);

    if (!isLogFileName(name)) {
        sendNotFound(reply, name);
        return;
    }
    const auto path = ConfinedFolder(folder).resolve(name);
    std::FILE* file = path ? std::fopen(path->c_str(), "rbe") : nullptr;
    if (file == nullptr) {
        sendNotFound(reply, folder + "/" + std::string(name));
        return;
    }
    // Lines end at CR or LF; empty lines are not shown; a line still being written (no line end
    // yet) is left for the next look.
    std::vector<char> block(readBlock);
    char line[lineLimit];
    std::size_t length = 0;
    while (!reply.broken()) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), file);
        for (std::size_t i = 0; i < n; ++i) {
            const char c = block[i];
            if (c == '\r' || c == '\n') {
                if (length > 0) sendLine(reply, std::string_view(line, length));
                length = 0;
                continue;
            }
            line[length++] = c;
            if (length == lineLimit) {
                sendLine(reply, std::string_view(line, length));
                length = 0;
            }
        }
        if (n < block.size()) break;
    }
    std::fclose(file);
    reply.append("<BR/>\nEnd of file.<BR/>");
}

}  // namespace kestrava::web
