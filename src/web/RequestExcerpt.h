#pragma once

#include <string>
#include <string_view>

namespace kestrava::web {

// Appends up to 32 characters of a rejected request body to a log line, control and non-ASCII
// bytes (and the backslash) written as \xNN, with "..." when the body goes on: the log stays one
// readable line whatever a client sent.
void appendRequestExcerpt(std::string& line, std::string_view rest);

}  // namespace kestrava::web
