#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava::web {

// One allowed network: an IPv4 address (first octet in the top bits) and how many leading bits
// of a client's address must equal it; 0 allows every address.
struct WhitelistEntry {
    std::uint32_t address = 0;
    std::int32_t prefixBits = 32;
    bool operator==(const WhitelistEntry&) const = default;
};

// The address white list of the web interface, parsed from its free-form setting text.
//
// Entries are separated by blanks, commas, semicolons, tabs and line breaks. Accepted forms:
//   127.0.0.1        one address
//   192.168/16       leading octets and a prefix length (missing octets are 0)
//   172.22.16.0/24   an address and a prefix length
//   172.22.16.*      four octets whose trailing ones are wildcards ("*.*.*.*" allows all)
//   /0               every address (as does 0.0.0.0/0)
// Anything else (an octet above 255, a prefix above 32, an empty prefix, more than four octets,
// a wildcard that is not trailing, other characters) is refused and named in `refused`, so
// that the caller can warn; it never widens the list. 127.0.0.1 is always allowed.
class WhiteList {
public:
    static constexpr std::size_t textLimit = 8192;    // characters read of the setting
    static constexpr std::size_t entryLimit = 2048;   // entries kept, 127.0.0.1 included

    WhiteList();  // allows 127.0.0.1 only
    explicit WhiteList(std::string_view text);

    bool allows(std::uint32_t address) const;
    const std::vector<WhitelistEntry>& entries() const { return list; }
    // The entries that were refused, as written (cut to 64 characters each), and a reason.
    struct Refusal {
        std::string text;
        std::string reason;
    };
    const std::vector<Refusal>& refused() const { return refusals; }
    // Entries beyond entryLimit that were left out.
    std::size_t dropped() const { return droppedCount; }

private:
    void addEntry(std::string_view token);

    std::vector<WhitelistEntry> list;
    std::vector<Refusal> refusals;
    std::size_t droppedCount = 0;
};

// The address in host order from dotted text; false for anything but four octets 0..255.
bool parseIpv4(std::string_view text, std::uint32_t& address);
// Dotted text of an address (at most 15 characters).
std::string formatIpv4(std::uint32_t address);

}  // namespace kestrava::web
