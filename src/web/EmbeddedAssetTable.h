#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kestrava::web {

// The browser client's files, built into the program: each stored as one complete gzip member
// (deflate, the file's base name in FNAME, XFL 2, OS 11) under its web path with ".gz" appended,
// one after the other in one data block, in the order of the list in src/web/CMakeLists.txt. The
// build makes the table from web/www/ (scripts/embed-web-assets); the server sends the stored
// bytes as they are.
class EmbeddedAssetTable {
public:
    struct Entry {
        const char* name;      // web path without a leading "/", with ".gz" appended
        std::uint32_t offset;  // into the data block
        std::uint32_t size;    // stored (compressed) bytes
    };
    static constexpr std::size_t count = 14;

    static std::span<const Entry> list() { return entries; }
    static std::string_view bytes(const Entry& e) { return {data + e.offset, e.size}; }
    // The stored bytes of the first entry whose name equals `storedName` exactly; none without one.
    static std::optional<std::string_view> find(std::string_view storedName);

private:
    static const Entry entries[count];
    static const char data[];
};

}  // namespace kestrava::web
