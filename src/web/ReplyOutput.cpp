#include "web/ReplyOutput.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace kestrava::web {

ReplyOutput::ReplyOutput(ByteSink& sink_) : sink(sink_), data(new std::uint8_t[bufferSize]) {}

void ReplyOutput::startConnection(bool webSocket) {
    framed = webSocket;
    length = reserve;
    openFragment = false;
}

std::uint8_t* ReplyOutput::frameHeader(std::uint8_t* payload, std::size_t size, std::uint8_t first) {
    std::uint8_t* p = payload;
    if (size <= 125) {
        *--p = static_cast<std::uint8_t>(size);
    } else if (size <= 0xFFFF) {
        *--p = static_cast<std::uint8_t>(size & 0xFF);
        *--p = static_cast<std::uint8_t>(size >> 8);
        *--p = 126;
    } else {
        std::uint64_t v = size;
        for (int i = 0; i < 8; ++i) {
            *--p = static_cast<std::uint8_t>(v & 0xFF);
            v >>= 8;
        }
        *--p = 127;
    }
    *--p = first;
    return p;
}

void ReplyOutput::append(std::string_view text) {
    if (text.size() >= flushThreshold - reserve) text = text.substr(0, flushThreshold - reserve - 1);
    if (length + text.size() >= flushThreshold) {
        std::uint8_t* payload = data.get() + reserve;
        const std::size_t size = length - reserve;
        if (framed) {
            std::uint8_t* frame = frameHeader(payload, size, openFragment ? 0x00 : 0x01);
            openFragment = true;
            sink.send(frame, static_cast<std::size_t>(payload + size - frame));
        } else {
            sink.send(payload, size);
        }
        length = reserve;
    }
    std::memcpy(data.get() + length, text.data(), text.size());
    length += text.size();
}

void ReplyOutput::finish() {
    std::uint8_t* payload = data.get() + reserve;
    const std::size_t size = length - reserve;
    if (framed) {
        std::uint8_t* frame = frameHeader(payload, size, openFragment ? 0x80 : 0x81);
        sink.send(frame, static_cast<std::size_t>(payload + size - frame));
    } else if (size > 0) {
        sink.send(payload, size);
    }
    openFragment = false;
    length = reserve;
}

void ReplyOutput::sendBinary(std::uint8_t* bytes, std::size_t size, bool final, std::uint16_t status) {
    if (!framed) {
        sink.send(bytes, size);
        return;
    }
    std::uint8_t* payload = bytes;
    std::size_t payloadSize = size;
    if (!openFragment) {
        *--payload = static_cast<std::uint8_t>(status & 0xFF);
        *--payload = static_cast<std::uint8_t>(status >> 8);
        payloadSize += 2;
    }
    const std::uint8_t first = static_cast<std::uint8_t>((openFragment ? 0x00 : 0x02) | (final ? 0x80 : 0x00));
    std::uint8_t* frame = frameHeader(payload, payloadSize, first);
    openFragment = !final;
    sink.send(frame, static_cast<std::size_t>(bytes + size - frame));
}

void ReplyOutput::sendError(int code, std::string_view title, std::string_view text) {
    if (!framed) {
        char line[64];
        const int n = std::snprintf(line, sizeof line, "HTTP/1.0 %d %.*s\r\n", code, static_cast<int>(title.size()),
                                    title.data());
        sink.send(line, static_cast<std::size_t>(n < 0 ? 0 : n >= static_cast<int>(sizeof line) ? sizeof line - 1 : n));
        constexpr std::string_view headers = "Content-Type: text/html\r\nAccess-Control-Allow-Origin: *\r\n\r\n";
        sink.send(headers.data(), headers.size());
        sink.send(text.data(), text.size());
        return;
    }
    constexpr std::size_t maxText = 65'534;
    if (text.size() > maxText) text = text.substr(0, maxText);
    std::uint8_t* payload = data.get() + reserve;
    std::memcpy(payload, text.data(), text.size());
    payload[text.size()] = 0;
    const std::size_t padded = (text.size() + 1) & ~std::size_t{1};
    std::uint8_t* start = payload;
    std::size_t payloadSize = padded;
    if (!openFragment) {
        *--start = static_cast<std::uint8_t>(code & 0xFF);
        *--start = static_cast<std::uint8_t>((code >> 8) & 0xFF);
        payloadSize += 2;
    }
    std::uint8_t* frame = frameHeader(start, payloadSize, openFragment ? 0x80 : 0x82);
    openFragment = false;
    sink.send(frame, static_cast<std::size_t>(payload + padded - frame));
}

bool ReplyOutput::sendPlain(std::string_view text) {
    if (framed) return false;
    sink.send(text.data(), text.size());
    return true;
}

bool ReplyOutput::sendOkHeader(std::string_view contentType, bool cacheable, bool gzip) {
    if (framed) return false;
    std::string header = "HTTP/1.0 200 OK\r\nContent-Type: ";
    header += contentType.substr(0, 178);
    header += "\r\n";
    header += cacheable ? "Cache-Control: max-age=3600\r\n"
                        : "Cache-Control: no-cache, no-store, must-revalidate\r\nPragma: no-cache\r\nExpires: 0\r\n";
    if (gzip) header += "Content-Encoding: gzip\r\n";
    header += "\r\n";
    sink.send(header.data(), header.size());
    return true;
}

}  // namespace kestrava::web
