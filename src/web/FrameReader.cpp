#include "web/FrameReader.h"

namespace kestrava::web {

namespace {

constexpr std::size_t fakePayload = 8;
constexpr std::uint8_t opContinuation = 0, opText = 1, opBinary = 2, opClose = 8, opPing = 9, opPong = 10;

// Receives until `held` reaches `want`; false when a receive failed first.
bool fill(ByteSource& source, std::uint8_t* buffer, std::size_t& held, std::size_t want) {
    while (held < want) {
        const long n = source.receive(buffer + held, want - held);
        if (n <= 0) return false;
        held += static_cast<std::size_t>(n);
    }
    return true;
}

FrameReader::Result refuse(std::uint8_t* buffer, std::uint16_t code) {
    FrameReader::Result r;
    r.kind = FrameReader::Kind::Refused;
    r.closeCode = code;
    buffer[0] = 0x88;
    if (code == 0) {
        buffer[1] = 0x00;
        r.reply = {buffer, 2};
    } else {
        buffer[1] = 0x02;
        buffer[2] = static_cast<std::uint8_t>(code >> 8);
        buffer[3] = static_cast<std::uint8_t>(code & 0xFF);
        r.reply = {buffer, 4};
    }
    return r;
}

}  // namespace

FrameReader::Result FrameReader::read(ByteSource& source, std::uint8_t* buffer, std::size_t capacity, bool fakeMode) {
    constexpr std::size_t longestHeader = 14;
    if (capacity < longestHeader + 2) return refuse(buffer, closeTooBig);
    std::size_t held = 0;
    if (!fill(source, buffer, held, 2)) return refuse(buffer, 0);

    const std::uint8_t first = buffer[0];
    const std::uint8_t second = buffer[1];
    const bool masked = (second & 0x80) != 0;
    std::uint8_t opcode = first & 0x0F;
    std::uint8_t lengthCode = second & 0x7F;
    if (fakeMode) {
        opcode = opText;
        lengthCode = fakePayload;
    } else {
        if (!masked) return refuse(buffer, closeProtocolError);
        if (opcode >= opClose && lengthCode > 125) return refuse(buffer, closeProtocolError);
    }
    const std::size_t header = lengthCode == 126 ? 8 : lengthCode == 127 ? 14 : 6;
    if (!fill(source, buffer, held, header)) return refuse(buffer, 0);

    std::uint64_t length = lengthCode;
    if (lengthCode == 126) {
        length = static_cast<std::uint64_t>(buffer[2]) << 8 | buffer[3];
    } else if (lengthCode == 127) {
        length = 0;
        for (int i = 2; i < 10; ++i) length = length << 8 | buffer[i];
    }
    // The payload and the NUL behind it must fit.
    if (length > capacity - header - 1) return refuse(buffer, closeTooBig);
    if (!fill(source, buffer, held, header + static_cast<std::size_t>(length))) return refuse(buffer, 0);
    std::uint8_t* payload = buffer + header;
    const std::size_t n = static_cast<std::size_t>(length);
    payload[n] = 0;
    if (masked) {
        const std::uint8_t* key = payload - 4;
        for (std::size_t i = 0; i < n; ++i) payload[i] ^= key[i & 3];
    }

    Result r;
    switch (opcode) {
        case opText:
        case opBinary: {
            r.kind = Kind::Message;
            std::size_t end = 0;
            while (end < n && payload[end] != 0) ++end;
            r.message = std::string_view(reinterpret_cast<const char*>(payload), end);
            return r;
        }
        case opClose:
        case opPing:
            // The reply's two header bytes go just in front of the payload (n <= 125 here).
            payload[-2] = opcode == opClose ? first : static_cast<std::uint8_t>((first & 0xF0) | opPong);
            payload[-1] = static_cast<std::uint8_t>(n);
            r.kind = opcode == opClose ? Kind::Close : Kind::Ping;
            r.reply = {payload - 2, n + 2};
            return r;
        case opPong:
            r.kind = Kind::Pong;
            return r;
        case opContinuation:
        default:
            return refuse(buffer, 0);
    }
}

}  // namespace kestrava::web
