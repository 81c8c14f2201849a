#include "web/RequestExcerpt.h"

#include <cstdio>

namespace kestrava::web {

void appendRequestExcerpt(std::string& line, std::string_view rest) {
    constexpr std::size_t excerptChars = 32;
    std::size_t shown = 0;
    for (; shown < rest.size() && shown < excerptChars; ++shown) {
        const auto c = static_cast<unsigned char>(rest[shown]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            line += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
            line += escaped;
        }
    }
    if (shown < rest.size()) line += "...";
}

}  // namespace kestrava::web
