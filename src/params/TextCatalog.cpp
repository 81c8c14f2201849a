#include "params/TextCatalog.h"

namespace kestrava::params {

bool translateInto(std::string& buffer, std::size_t maxChars, const TextCatalog* catalog,
                   std::string_view source, TextMode mode, bool translatable) {
    std::string next(source.substr(0, std::min(source.size(), maxChars)));
    if (translatable && catalog != nullptr) {
        if (auto t = catalog->translate(source, mode); t && !t->empty()) next = t->substr(0, maxChars);
    }
    if (next == buffer) return false;
    buffer = std::move(next);
    return true;
}

}  // namespace kestrava::params
