#pragma once

#include "web/ByteChannel.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrava::web {

// Reads one client frame of a WebSocket connection into a fixed buffer and answers what needs
// an answer at the frame level.
//
//   byte 0      FIN | RSV1-3 | opcode (4 bits)
//   byte 1      MASK | length code (7 bits): 0..125, 126 (16-bit length), 127 (64-bit length)
//   2..3/2..9   extended length, most significant byte first
//   next 4      masking key
//   rest        payload, unmasked in place; a NUL is written behind it
//
// A frame is never trusted beyond the buffer: one that does not fit gets close 1009; a control
// frame with more than 125 bytes, or a client frame without MASK, gets close 1002. Continuation
// and reserved opcodes, a failed receive or a stop get the bare close frame 0x88 0x00. Fake-mode
// connections send fixed 14-byte records (2 header bytes of which only MASK counts, the masking
// key, 8 payload bytes) and are read as text frames.
class FrameReader {
public:
    enum class Kind {
        Message,  // text or binary: `message` is the request path
        Ping,     // answered with a pong (in `reply`)
        Pong,     // nothing to send
        Close,    // the client's close, echoed in `reply`; the connection ends
        Refused,  // a close frame in `reply`; the connection ends
    };
    struct Result {
        Kind kind = Kind::Refused;
        std::string_view message;        // the payload up to its first NUL
        std::span<const std::uint8_t> reply;  // to send before anything else
        std::uint16_t closeCode = 0;     // the status of a Refused reply, 0 for the bare close
    };

    static constexpr std::uint16_t closeProtocolError = 1002;
    static constexpr std::uint16_t closeTooBig = 1009;

    // Receives exactly the bytes of one frame (never any of the next) into buffer[0, capacity).
    static Result read(ByteSource& source, std::uint8_t* buffer, std::size_t capacity, bool fakeMode);
};

}  // namespace kestrava::web
