#pragma once

#include <cstddef>
#include <string_view>

namespace kestrava::web {

// The request head of one connection, parsed in place from the received bytes: every view
// points into the caller's buffer. Nothing is copied and nothing is trusted beyond `size`.
struct HttpRequest {
    static constexpr std::size_t maxHeaderBytes = 32768;  // bytes received for one request head
    static constexpr std::size_t maxKeyLength = 91;       // a longer WebSocket key is refused

    enum class Method { Get, Post };
    Method method = Method::Get;
    std::string_view target;  // the request target as sent
    std::string_view path;    // the target behind its first "/lumora", or the whole target
    bool fakeMode = false;    // the path begins with "FAKEWEBSOCKET"
    std::string_view webSocketKey;  // empty: no upgrade asked for
    bool keyTooLong = false;        // a key was sent but is longer than maxKeyLength
    // An Origin that names another host than Host, or "Sec-Fetch-Site: cross-site": a page of
    // another site asks; requests that change state are refused then.
    bool crossSite = false;
};

// Where the head ends in data[0, size): the index just behind CR LF CR LF or CR CR, searched from
// `from` (less 3 bytes of overlap with what was searched before); 0 while it has not ended.
std::size_t findHeaderEnd(const char* data, std::size_t size, std::size_t from);

// Parses a received request (at most maxHeaderBytes; the head need not be complete). False for
// fewer than 3 bytes or a method other than GET and POST (either case, then a blank or a tab):
// such a request gets no reply.
bool parseHttpRequest(std::string_view data, HttpRequest& request);

}  // namespace kestrava::web
