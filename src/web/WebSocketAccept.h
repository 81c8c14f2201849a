#pragma once

#include <string>
#include <string_view>

namespace kestrava::web {

// The Sec-WebSocket-Accept value for a client's key: Base64 of the SHA-1 of the key followed by
// the protocol's fixed GUID (28 characters).
std::string webSocketAccept(std::string_view key);

// The whole 101 reply for a key.
std::string webSocketHandshakeReply(std::string_view key);

}  // namespace kestrava::web
