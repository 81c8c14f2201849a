#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace webtest {

// One gzip member read by the letter of RFC 1952: the header fields, then the raw deflate data
// inflated by zlib, checked against the CRC-32 and the length in the trailer.
struct GzipMember {
    std::uint8_t flags = 0;
    std::uint32_t mtime = 0;
    std::uint8_t extraFlags = 0;
    std::uint8_t os = 0;
    std::string fileName;
    std::string content;
};

inline std::optional<GzipMember> gunzip(std::string_view in) {
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(in[i]); };
    auto le32 = [&](std::size_t i) {
        return std::uint32_t{byte(i)} | std::uint32_t{byte(i + 1)} << 8 | std::uint32_t{byte(i + 2)} << 16 |
               std::uint32_t{byte(i + 3)} << 24;
    };
    if (in.size() < 18 || byte(0) != 0x1F || byte(1) != 0x8B || byte(2) != 8) return std::nullopt;
    GzipMember m;
    m.flags = byte(3);
    m.mtime = le32(4);
    m.extraFlags = byte(8);
    m.os = byte(9);
    std::size_t pos = 10;
    if (m.flags & 0x04) pos += 2 + (byte(pos) | byte(pos + 1) << 8);  // FEXTRA
    if (m.flags & 0x08) {                                          // FNAME
        const std::size_t end = in.find('\0', pos);
        if (end == std::string_view::npos) return std::nullopt;
        m.fileName.assign(in.substr(pos, end - pos));
        pos = end + 1;
    }
    if (m.flags & 0x10) pos = in.find('\0', pos) + 1;  // FCOMMENT
    if (m.flags & 0x02) pos += 2;                      // FHCRC
    if (pos + 8 > in.size()) return std::nullopt;

    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + pos));
    z.avail_in = static_cast<uInt>(in.size() - pos);
    char out[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(out);
        z.avail_out = sizeof out;
        rc = inflate(&z, Z_NO_FLUSH);
        m.content.append(out, sizeof out - z.avail_out);
    }
    const std::size_t trailer = in.size() - z.avail_in;
    inflateEnd(&z);
    if (rc != Z_STREAM_END || trailer + 8 != in.size()) return std::nullopt;
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(m.content.data()), static_cast<uInt>(m.content.size()));
    if (le32(trailer) != crc || le32(trailer + 4) != static_cast<std::uint32_t>(m.content.size())) return std::nullopt;
    return m;
}

}  // namespace webtest
