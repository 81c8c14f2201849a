#pragma once

#include "web/ByteChannel.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kestrava::web {

// The reply side of one worker slot: a large output buffer with a frame-header reserve in front,
// and the writers that send a reply as plain HTTP/1.0 or, on a WebSocket, as server frames:
//
//   byte 0   FIN | opcode (1 text, 2 binary, 0 continuation)
//   byte 1   payload length L <= 125, or 126 (16-bit L follows) or 127 (64-bit L follows)
//   [2|8]    extended length, most significant byte first
//   payload  a binary message begins with a 16-bit big-endian status (0 data, else the error code)
//
// Frames are built in place: the header is written into the bytes just in front of the payload
// and both leave in one send. A reply started with a non-final frame continues with opcode 0.
// Plain HTTP texts are never written on a WebSocket.
class ReplyOutput {
public:
    static constexpr std::size_t bufferSize = 526'336;
    static constexpr std::size_t reserve = 18;           // in front of buffered text
    static constexpr std::size_t flushThreshold = 524'288;
    static constexpr std::size_t binaryDataOffset = 36;  // where binary reply data may be built
    static constexpr std::size_t maxFrontBytes = 12;     // header and status in front of data

    explicit ReplyOutput(ByteSink& sink);

    // A new connection (plain or WebSocket) starts with an empty buffer and no open message.
    void startConnection(bool webSocket);
    bool webSocket() const { return framed; }
    // The client is gone: what is still sent is lost.
    bool broken() const { return sink.broken(); }
    bool fragmentOpen() const { return openFragment; }
    std::size_t outputLength() const { return length; }
    std::uint8_t* buffer() { return data.get(); }

    // Buffers text (shorter than flushThreshold - reserve); sends what is buffered first when
    // the text would reach the threshold (a non-final text frame on a WebSocket).
    void append(std::string_view text);
    // Sends what is buffered as the end of the reply (a final text frame on a WebSocket).
    void finish();
    // Sends `size` bytes at `bytes`; on a WebSocket as a binary frame (with the status word when
    // it starts a message). The caller leaves maxFrontBytes writable bytes in front of `bytes`.
    void sendBinary(std::uint8_t* bytes, std::size_t size, bool final, std::uint16_t status);
    // "HTTP/1.0 <code> <title>" with the body text, or on a WebSocket a final binary frame with
    // the code as status (none inside an open message) and the text padded to an even length.
    // Overwrites buffered text: only for replies that have buffered nothing.
    void sendError(int code, std::string_view title, std::string_view text);
    // A plain HTTP text as it stands; false, and nothing sent, on a WebSocket.
    bool sendPlain(std::string_view text);
    // "HTTP/1.0 200 OK" with the content type, caching lines and gzip marker; false on a WebSocket.
    bool sendOkHeader(std::string_view contentType, bool cacheable, bool gzip);

private:
    // Writes the frame header in front of data[0, payload) and returns where the frame begins.
    std::uint8_t* frameHeader(std::uint8_t* payload, std::size_t size, std::uint8_t first);

    ByteSink& sink;
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t length = reserve;
    bool openFragment = false;
    bool framed = false;
};

}  // namespace kestrava::web
