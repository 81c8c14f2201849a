#pragma once

#include <string>
#include <string_view>

namespace kestrava::web {

// Where a static request path leads. The path is taken as it came: no percent-decoding, and a
// query stays part of the name (so "/index.html?v=2" has no known extension and is refused).
//
//   "/html/<name>"    a file of the working directory
//   "/modern/<name>"  the web asset <name> ("/modern/" is an optional prefix)
//   "/<name>"         the web asset <name>
//
// An empty name or one ending in "/" gets "index.html" appended. The content type comes from the
// extension (ContentTypeTable); a web asset name without any "." is a page path of the browser
// client and serves "index.html" as HTML. Everything else is refused: a name outside the table,
// and any name that could leave its folder ("..", absolute, backslash, NUL).
struct StaticTarget {
    enum class Source { Disk, Asset, Refused };

    Source source = Source::Refused;
    std::string name;              // relative to the working directory, or the asset's name
    std::string_view contentType;  // empty when refused

    static StaticTarget of(std::string_view path);
};

}  // namespace kestrava::web
