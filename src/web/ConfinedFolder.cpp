#include "web/ConfinedFolder.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace kestrava::web {

namespace {

std::optional<std::string> realPathOf(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    std::string out(resolved);
    std::free(resolved);
    return out;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

ConfinedFolder::ConfinedFolder(const std::string& folder) {
    if (folder.empty() || folder.find('\0') != std::string::npos || !isFolder(folder)) return;
    if (auto real = realPathOf(folder)) root = std::move(*real);
}

bool ConfinedFolder::isPlainRelativeName(std::string_view name) {
    if (name.empty() || name.front() == '/') return false;
    if (name.find('\\') != std::string_view::npos || name.find('\0') != std::string_view::npos) return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

std::optional<std::string> ConfinedFolder::resolve(std::string_view name) const {
    if (!present() || !isPlainRelativeName(name)) return std::nullopt;
    std::string joined = root;
    if (joined.back() != '/') joined += '/';
    const std::size_t prefix = joined.size();
    joined.append(name);
    if (joined.size() >= PATH_MAX) return std::nullopt;
    auto real = realPathOf(joined);
    if (!real || real->size() <= prefix || real->compare(0, prefix, joined, 0, prefix) != 0) return std::nullopt;
    struct stat st {};
    if (::stat(real->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return real;
}

}  // namespace kestrava::web
