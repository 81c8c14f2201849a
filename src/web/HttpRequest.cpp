#include "web/HttpRequest.h"

namespace kestrava::web {

namespace {

constexpr std::string_view prefix = "/lumora";
constexpr std::string_view fakeMarker = "FAKEWEBSOCKET";

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool endsToken(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool startsIgnoringCase(std::string_view text, std::string_view word) {
    return text.size() >= word.size() && equalsIgnoringCase(text.substr(0, word.size()), word);
}

std::string_view trim(std::string_view v) {
    while (!v.empty() && isBlank(v.front())) v.remove_prefix(1);
    while (!v.empty() && isBlank(v.back())) v.remove_suffix(1);
    return v;
}

// The value of a "Name: value" line, or nothing when the line has another name.
bool headerValue(std::string_view line, std::string_view name, std::string_view& value) {
    if (!startsIgnoringCase(line, name) || line.size() == name.size() || line[name.size()] != ':') return false;
    value = trim(line.substr(name.size() + 1));
    return true;
}

// "scheme://host[:port]" of an Origin, with the scheme's default port dropped, compared with Host.
bool originMatchesHost(std::string_view origin, std::string_view host) {
    std::string_view defaultPort;
    if (startsIgnoringCase(origin, "http://")) {
        origin.remove_prefix(7);
        defaultPort = ":80";
    } else if (startsIgnoringCase(origin, "https://")) {
        origin.remove_prefix(8);
        defaultPort = ":443";
    } else {
        return false;  // "null" and other schemes never match
    }
    if (const auto slash = origin.find('/'); slash != std::string_view::npos) origin = origin.substr(0, slash);
    const auto dropDefault = [&](std::string_view v) {
        if (v.size() > defaultPort.size() && v.substr(v.size() - defaultPort.size()) == defaultPort) {
            v.remove_suffix(defaultPort.size());
        }
        return v;
    };
    return !host.empty() && equalsIgnoringCase(dropDefault(origin), dropDefault(host));
}

}  // namespace

std::size_t findHeaderEnd(const char* data, std::size_t size, std::size_t from) {
    std::size_t i = from > 3 ? from - 3 : 0;
    for (; i + 1 < size; ++i) {
        if (data[i] != '\r') continue;
        if (data[i + 1] == '\r') return i + 2;
        if (i + 3 < size && data[i + 1] == '\n' && data[i + 2] == '\r' && data[i + 3] == '\n') return i + 4;
    }
    return 0;
}

bool parseHttpRequest(std::string_view data, HttpRequest& request) {
    request = HttpRequest{};
    if (data.size() > HttpRequest::maxHeaderBytes) data = data.substr(0, HttpRequest::maxHeaderBytes);
    if (data.size() < 3) return false;
    std::size_t pos = 0;
    if (data.size() > 3 && startsIgnoringCase(data, "GET") && isBlank(data[3])) {
        request.method = HttpRequest::Method::Get;
        pos = 4;
    } else if (data.size() > 4 && startsIgnoringCase(data, "POST") && isBlank(data[4])) {
        request.method = HttpRequest::Method::Post;
        pos = 5;
    } else {
        return false;
    }
    while (pos < data.size() && isBlank(data[pos])) ++pos;
    std::size_t end = pos;
    while (end < data.size() && !endsToken(data[end])) ++end;
    request.target = data.substr(pos, end - pos);
    request.path = request.target;
    if (const auto at = request.target.find(prefix); at != std::string_view::npos) {
        request.path = request.target.substr(at + prefix.size());
    }
    request.fakeMode = request.path.substr(0, fakeMarker.size()) == fakeMarker;

    // Header lines, from the one behind the request line to the end of the head (or the data).
    std::string_view origin, host, fetchSite;
    bool haveOrigin = false;
    std::size_t lineStart = data.find('\n', end);
    while (lineStart != std::string_view::npos && lineStart + 1 < data.size()) {
        ++lineStart;
        std::size_t lineEnd = lineStart;
        while (lineEnd < data.size() && data[lineEnd] != '\r' && data[lineEnd] != '\n' && data[lineEnd] != '\0') {
            ++lineEnd;
        }
        const std::string_view line = data.substr(lineStart, lineEnd - lineStart);
        if (line.empty()) break;  // the empty line ends the head
        constexpr std::string_view keyName = "Sec-WebSocket-Key";
        std::string_view value;
        if (request.webSocketKey.empty() && !request.keyTooLong && startsIgnoringCase(line, keyName)) {
            std::size_t k = keyName.size();
            if (k == line.size() || isBlank(line[k]) || line[k] == ':') {
                while (k < line.size() && (isBlank(line[k]) || line[k] == ':')) ++k;
                std::size_t e = k;
                while (e < line.size() && !endsToken(line[e])) ++e;
                const std::string_view key = line.substr(k, e - k);
                if (key.size() > HttpRequest::maxKeyLength) {
                    request.keyTooLong = true;
                } else {
                    request.webSocketKey = key;
                }
            }
        } else if (headerValue(line, "Origin", value)) {
            origin = value;
            haveOrigin = true;
        } else if (headerValue(line, "Host", value)) {
            host = value;
        } else if (headerValue(line, "Sec-Fetch-Site", value)) {
            fetchSite = value;
        }
        if (lineEnd >= data.size() || data[lineEnd] == '\0') break;
        if (data[lineEnd] == '\r' && lineEnd + 1 < data.size() && data[lineEnd + 1] == '\r') break;  // CR CR
        lineStart = data[lineEnd] == '\r' && lineEnd + 1 < data.size() && data[lineEnd + 1] == '\n' ? lineEnd + 1
                                                                                                      : lineEnd;
    }
    request.crossSite = equalsIgnoringCase(fetchSite, "cross-site") || (haveOrigin && !originMatchesHost(origin, host));
    return true;
}

}  // namespace kestrava::web
