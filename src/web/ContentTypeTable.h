#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kestrava::web {

// The content types of the static files, by the file name's extension. Rows are tried in this
// order; a row matches when the name is longer than "." + extension and ends with it, byte for
// byte (lower case only). "css" has no charset while "less" has one, and "ttf" goes out as
// octet-stream: browsers take the fonts either way.
class ContentTypeTable {
public:
    struct Row {
        std::string_view extension;
        std::string_view contentType;
    };
    static constexpr std::array<Row, 15> rows{{
        {"html", "text/html; charset=UTF-8"},
        {"js", "application/javascript; charset=UTF-8"},
        {"less", "text/css; charset=UTF-8"},
        {"css", "text/css"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"ico", "image/x-icon"},
        {"svg", "image/svg+xml"},
        {"json", "application/json"},
        {"woff", "application/font-woff"},
        {"ttf", "application/octet-stream"},
        {"eot", "application/vnd.ms-fontobject"},
        {"map", "application/x-navimap"},
        {"woff2", "application/font-woff2"},
    }};

    // The content type of the first matching row; none for a name outside the table.
    static std::optional<std::string_view> lookup(std::string_view name);
};

}  // namespace kestrava::web
