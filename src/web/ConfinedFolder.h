#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrava::web {

// A folder whose files are served by relative name, and never anything outside it.
//
// A name is taken only when it is a plain relative name: not empty, not absolute, no ".."
// segment, no backslash, no NUL. The file it names must then be a regular file whose real path
// (every symbolic link resolved) still lies inside the folder's real path, so a link that points
// out of the folder is refused like a name that does.
class ConfinedFolder {
public:
    // Resolves the folder now; a missing folder (or a file in its place) is not present.
    explicit ConfinedFolder(const std::string& folder);

    bool present() const { return !root.empty(); }
    const std::string& realPath() const { return root; }

    static bool isPlainRelativeName(std::string_view name);
    // The real path of the regular file `name` inside the folder; none when the name is refused,
    // the file is missing or not a regular file, or its real path leaves the folder.
    std::optional<std::string> resolve(std::string_view name) const;

private:
    std::string root;  // real path of the folder, without a trailing "/" (except for "/")
};

}  // namespace kestrava::web
