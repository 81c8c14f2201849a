#include "web/WebSocketAccept.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <cryptopp/sha.h>

namespace kestrava::web {

namespace {
constexpr std::string_view guid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
}

std::string webSocketAccept(std::string_view key) {
    std::string text(key);
    text += guid;
    CryptoPP::SHA1 sha;
    CryptoPP::byte digest[CryptoPP::SHA1::DIGESTSIZE];
    sha.CalculateDigest(digest, reinterpret_cast<const CryptoPP::byte*>(text.data()), text.size());
    std::string encoded;
    CryptoPP::Base64Encoder encoder(new CryptoPP::StringSink(encoded), false);
    encoder.Put(digest, sizeof digest);
    encoder.MessageEnd();
    return encoded;
}

std::string webSocketHandshakeReply(std::string_view key) {
    std::string reply =
        "HTTP/1.1 101 Web Socket Protocol Handshake\r\nContent-Type: application/json\r\n"
        "Access-Control-Allow-Origin: *\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: ";
    reply += webSocketAccept(key);
    reply += "\r\n\r\n";
    return reply;
}

}  // namespace kestrava::web
