#pragma once

#include "web/JsonReply.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava::web {

// The body of a "/json" request: objects whose members are a parameter id in double quotes and
// an inner object of string members, "new_value" and "forced":
//
//   {"4317":{"new_value":"10.0.0.1"},"1200":{}}
//
// Strings have no escapes; outside strings only braces, commas, colons and double quotes count
// (numbers, true, false and brackets are ignored). Objects nest at most 7 deep, an inner object
// keeps at most 8 members (the ninth on reuse the eighth place). Every problem becomes an entry
// of the reply, never an HTTP error:
//
//   "ERROR_TOO_MANY_OPENING_BRACKETS"         an eighth level opens (the parse ends)
//   "ERROR_TOO_MANY_CLOSING_BRACKETS"         a "}" at the outer level (ends at once)
//   "ERROR_COMMA_FOUND_BEFORE_VALUE_FOR_KEY"  a comma in a member without a colon (ends)
//   "ERROR_SEMICOLON_FOUND_WITHOUT_KEY"       a second colon in one member (ends)
//   "ERROR_REACHED_END_WITHOUT_CLOSING_QUITE" a string runs to the end (ends)
//   "ERROR_NO_ID_SENT"                        an inner object closes without an id (ends at once)
//   "UNKNOWN_KEY_RECEIVED": "<key>"           a member other than the two; the object is still
//                                             answered, then the parse ends
//   "ERROR_NOT_ALL_BRACKETS_MATCHED"          after the closing text, when a level is left open
class JsonRequest {
public:
    static constexpr int maxDepth = 7;
    static constexpr int maxMembers = 8;

    // One inner object to carry out: the id as read (see JsonText::readInteger) and the text of its
    // "new_value" member, if it had one.
    using ObjectHandler = std::function<void(JsonReply&, std::int64_t id, std::optional<std::string_view> newValue)>;

    struct Result {
        std::string_view error;   // the first error word of the parse, empty when there was none
        std::size_t errorAt = 0;  // where in the decoded body it was found
    };

    // The body of a request path: behind the first '/' after the 5 characters of "/json"; empty
    // when there is none.
    static std::string_view bodyOf(std::string_view path);
    // URL decoding in place: "%" and two characters give one byte (characters other than hex
    // digits count as 0; a "%" at the end stays, one character after it gives that digit x 16),
    // "+" a blank. Returns the decoded length; a zero byte in the result ends the body.
    static std::size_t urlDecode(char* text, std::size_t length);

    // Writes the whole reply body for a decoded body: "{ ", the entries, " }\n" and, when a level
    // was left open, the unmatched-brackets entry.
    Result parse(std::string_view decoded, JsonReply& reply, const ObjectHandler& onObject);

    // The one line for the operator about a malformed request: the error word and a short,
    // printable excerpt of the body from where it was found.
    static std::string diagnostic(std::string_view decoded, const Result& result);

private:
    struct Member {
        std::optional<std::string_view> key;
        std::optional<std::string_view> value;
    };
    void clearMembers() { members.fill(Member{}); }

    std::array<Member, maxMembers> members{};
    std::array<bool, maxDepth + 1> colonSeen{};
    std::array<int, maxDepth + 1> memberIndex{};
};

}  // namespace kestrava::web
