// Request paths name files on disk ("/html/", the ".web" folder, the log pages): whatever the
// path, the file served must be a regular file inside its folder, and the name a plain relative
// one; nothing may crash.
#include "web/ConfinedFolder.h"
#include "web/LogViewer.h"
#include "web/StaticTarget.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

fs::path made;  // removed when the fuzzer ends
void removeMade() {
    std::error_code ec;
    fs::remove_all(made, ec);
}

// A folder with a file, a sub-folder and links that lead in and out, made once.
const kestrava::web::ConfinedFolder& folder() {
    static const kestrava::web::ConfinedFolder root = [] {
        std::string pattern = (fs::temp_directory_path() / "kestrava-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        const fs::path base(pattern);
        made = base;
        std::atexit(removeMade);
        fs::create_directories(base / "root" / "sub");
        std::ofstream(base / "root" / "index.html") << "in";
        std::ofstream(base / "root" / "sub" / "a.js") << "in";
        std::ofstream(base / "secret.html") << "out";
        std::error_code ec;
        fs::create_symlink(base / "secret.html", base / "root" / "out.html", ec);
        fs::create_symlink(base, base / "root" / "up", ec);
        fs::create_symlink(base / "root" / "sub", base / "root" / "down", ec);
        return kestrava::web::ConfinedFolder((base / "root").string());
    }();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    const auto target = kestrava::web::StaticTarget::of(path);
    if (target.source != kestrava::web::StaticTarget::Source::Refused) {
        if (!kestrava::web::ConfinedFolder::isPlainRelativeName(target.name) || target.contentType.empty()) std::abort();
    }
    const auto& root = folder();
    for (const std::string_view name : {path, std::string_view(target.name)}) {
        if (const auto resolved = root.resolve(name)) {
            if (resolved->compare(0, root.realPath().size() + 1, root.realPath() + "/") != 0) std::abort();
        }
    }
    if (kestrava::web::LogViewer::isLogFileName(path) &&
        (path.find('/') != std::string_view::npos || !kestrava::web::ConfinedFolder::isPlainRelativeName(path))) {
        std::abort();
    }
    return 0;
}
