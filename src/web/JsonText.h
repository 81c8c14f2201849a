#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrava::web {

// Texts between the "/json" interface and the parameter model. The model's texts are Latin-1
// (the pages are served as ISO-8859-1); a JSON reply is UTF-8, and a remote client sends UTF-8.
class JsonText {
public:
    // Appends `latin1` as the inside of a JSON string: '"' and '\' escaped, control characters as
    // \b \f \n \r \t or \u00XX, every byte from 0x80 on as the UTF-8 form of that Latin-1 character.
    static void appendEscaped(std::string& out, std::string_view latin1);
    static std::string escaped(std::string_view latin1);

    // A text received from a client, in the model's Latin-1: valid UTF-8 is decoded (characters
    // beyond Latin-1 become '?'); anything else is taken as Latin-1 already and kept byte for byte.
    static std::string fromRequest(std::string_view text);

    // A signed decimal number as a client writes it: white space first, one sign, then digits up
    // to the first other character; no digits read as 0. Values beyond the 64-bit range stop at
    // its ends, so every later range test sees a number at least as far out as the one written.
    static std::int64_t readInteger(std::string_view text);
};

}  // namespace kestrava::web
