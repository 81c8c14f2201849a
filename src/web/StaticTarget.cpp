#include "web/StaticTarget.h"

#include "web/ConfinedFolder.h"
#include "web/ContentTypeTable.h"

namespace kestrava::web {

namespace {

constexpr std::string_view defaultDocument = "index.html";
constexpr std::string_view htmlType = "text/html; charset=UTF-8";

bool startsWith(std::string_view text, std::string_view word) { return text.substr(0, word.size()) == word; }

}  // namespace

StaticTarget StaticTarget::of(std::string_view path) {
    StaticTarget t;
    Source source = Source::Asset;
    if (startsWith(path, "/html/")) {
        source = Source::Disk;
        path.remove_prefix(6);
    } else if (startsWith(path, "/modern/")) {
        path.remove_prefix(8);
    } else if (startsWith(path, "/")) {
        path.remove_prefix(1);
    } else {
        return t;
    }
    t.name.assign(path);
    if (t.name.empty() || t.name.back() == '/') t.name += defaultDocument;

    if (auto type = ContentTypeTable::lookup(t.name)) {
        t.contentType = *type;
    } else if (source == Source::Asset && t.name.find('.') == std::string::npos) {
        t.name = defaultDocument;
        t.contentType = htmlType;
    } else {
        t.name.clear();
        return t;
    }
    if (!ConfinedFolder::isPlainRelativeName(t.name)) {
        t.name.clear();
        t.contentType = {};
        return t;
    }
    t.source = source;
    return t;
}

}  // namespace kestrava::web
