#include "web/JsonText.h"

#include <limits>

namespace kestrava::web {

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at text[i] and its code point; 0 when invalid
// (overlong forms, surrogates and values beyond U+10FFFF included).
std::size_t utf8Sequence(std::string_view text, std::size_t i, std::uint32_t& code) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = 0;
    std::uint32_t least = 0;
    if (c < 0x80) {
        code = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0) {
        n = 2, code = c & 0x1Fu, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, code = c & 0x0Fu, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, code = c & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(text[i + k]);
        if (!isContinuation(d)) return 0;
        code = (code << 6) | (d & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

void JsonText::appendEscaped(std::string& out, std::string_view latin1) {
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += hexDigits[c >> 4];
                    out += hexDigits[c & 0xF];
                } else if (c >= 0x80) {
                    out += static_cast<char>(0xC0 | (c >> 6));
                    out += static_cast<char>(0x80 | (c & 0x3F));
                } else {
                    out += ch;
                }
        }
    }
}

std::string JsonText::escaped(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() + 8);
    appendEscaped(out, latin1);
    return out;
}

std::string JsonText::fromRequest(std::string_view text) {
    std::uint32_t code = 0;
    bool ascii = true;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8Sequence(text, i, code);
        if (n == 0) return std::string(text);  // not UTF-8: a Latin-1 client
        ascii = ascii && n == 1;
        i += n;
    }
    if (ascii) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        i += utf8Sequence(text, i, code);
        out += code <= 0xFF ? static_cast<char>(code) : '?';
    }
    return out;
}

std::int64_t JsonText::readInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulated negatively, so that the lowest value is reachable.
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (saturated) continue;
        if (value < (lowest + digit) / 10) {
            saturated = true;
            value = lowest;
        } else {
            value = value * 10 - digit;
        }
    }
    if (negative) return value;
    if (value == lowest) return std::numeric_limits<std::int64_t>::max();
    return -value;
}

}  // namespace kestrava::web
