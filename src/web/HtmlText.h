#pragma once

#include <string>
#include <string_view>

namespace kestrava::web {

// Appends `text` with the characters that HTML gives a meaning (& < > " ') as entities, so that
// text from files or requests shows as text and never as markup.
void appendHtmlEscaped(std::string& out, std::string_view text);

}  // namespace kestrava::web
