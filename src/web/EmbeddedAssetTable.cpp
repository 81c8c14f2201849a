#include "web/EmbeddedAssetTable.h"

namespace kestrava::web {

std::optional<std::string_view> EmbeddedAssetTable::find(std::string_view storedName) {
    for (const Entry& e : entries) {
        if (storedName == e.name) return bytes(e);
    }
    return std::nullopt;
}

}  // namespace kestrava::web
