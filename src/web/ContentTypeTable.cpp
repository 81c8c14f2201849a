#include "web/ContentTypeTable.h"

namespace kestrava::web {

std::optional<std::string_view> ContentTypeTable::lookup(std::string_view name) {
    for (const Row& row : rows) {
        const std::size_t tail = row.extension.size() + 1;
        if (name.size() > tail && name[name.size() - tail] == '.' && name.substr(name.size() - row.extension.size()) == row.extension) {
            return row.contentType;
        }
    }
    return std::nullopt;
}

}  // namespace kestrava::web
