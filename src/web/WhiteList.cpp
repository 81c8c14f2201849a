#include "web/WhiteList.h"

#include <array>
#include <cstdio>

namespace kestrava::web {

namespace {

constexpr std::uint32_t loopback = 0x7F000001;
constexpr std::size_t shownTokenLimit = 64;

bool isSeparator(char c) {
    return c == ' ' || c == ',' || c == ';' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number of at most `maxValue`; false for an empty text, other characters or a larger value.
bool parseNumber(std::string_view text, std::uint32_t maxValue, std::uint32_t& value) {
    if (text.empty()) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        if (!isDigit(c)) return false;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
        if (v > maxValue) return false;
    }
    value = v;
    return true;
}

}  // namespace

WhiteList::WhiteList() { list.push_back({loopback, 32}); }

WhiteList::WhiteList(std::string_view text) : WhiteList() {
    if (text.size() > textLimit) text = text.substr(0, textLimit);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isSeparator(text[i])) continue;
        if (i > start) addEntry(text.substr(start, i - start));
        start = i + 1;
    }
}

void WhiteList::addEntry(std::string_view token) {
    const auto refuse = [&](const char* reason) {
        refusals.push_back({std::string(token.substr(0, shownTokenLimit)), reason});
    };

    std::string_view addressPart = token;
    std::string_view prefixPart;
    bool hasPrefix = false;
    if (const auto slash = token.find('/'); slash != std::string_view::npos) {
        addressPart = token.substr(0, slash);
        prefixPart = token.substr(slash + 1);
        hasPrefix = true;
        if (prefixPart.find('/') != std::string_view::npos) return refuse("more than one '/'");
    }

    WhitelistEntry entry{0, 32};
    if (hasPrefix) {
        std::uint32_t bits = 0;
        if (prefixPart.empty()) return refuse("the prefix length after '/' is missing");
        if (!parseNumber(prefixPart, 32, bits)) return refuse("the prefix length must be a number from 0 to 32");
        entry.prefixBits = static_cast<std::int32_t>(bits);
    }

    if (!addressPart.empty()) {
        std::array<std::string_view, 4> parts{};
        std::size_t count = 0;
        std::size_t from = 0;
        for (std::size_t i = 0; i <= addressPart.size(); ++i) {
            if (i < addressPart.size() && addressPart[i] != '.') continue;
            if (count == parts.size()) return refuse("more than four octets");
            parts[count++] = addressPart.substr(from, i - from);
            from = i + 1;
        }
        int wildcards = 0;
        for (std::size_t q = 0; q < count; ++q) {
            std::uint32_t octet = 0;
            if (parts[q] == "*") {
                ++wildcards;
            } else if (wildcards > 0) {
                return refuse("a wildcard may only stand for trailing octets");
            } else if (parts[q].empty()) {
                return refuse("an octet is missing");
            } else if (!parseNumber(parts[q], 255, octet)) {
                return refuse("an octet must be a number from 0 to 255");
            }
            entry.address |= octet << (8 * (3 - q));
        }
        if (wildcards > 0) {
            if (count != 4) return refuse("a wildcard needs all four octets, as in 10.1.*.*");
            if (hasPrefix) return refuse("a wildcard and a prefix length together");
            entry.prefixBits = 32 - 8 * wildcards;
        }
    }

    if (list.size() >= entryLimit) {
        ++droppedCount;
        return;
    }
    list.push_back(entry);
}

bool WhiteList::allows(std::uint32_t address) const {
    for (const auto& e : list) {
        if (e.prefixBits <= 0 || e.prefixBits > 32) return true;
        const int shift = 32 - e.prefixBits;
        if (shift == 0 ? address == e.address : (address >> shift) == (e.address >> shift)) return true;
    }
    return false;
}

bool parseIpv4(std::string_view text, std::uint32_t& address) {
    std::uint32_t result = 0;
    std::size_t from = 0;
    int count = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '.') continue;
        std::uint32_t octet = 0;
        if (count == 4 || !parseNumber(text.substr(from, i - from), 255, octet)) return false;
        result = (result << 8) | octet;
        ++count;
        from = i + 1;
    }
    if (count != 4) return false;
    address = result;
    return true;
}

std::string formatIpv4(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
                  address & 0xFF);
    return text;
}

}  // namespace kestrava::web
