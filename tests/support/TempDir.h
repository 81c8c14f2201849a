#pragma once

#include <filesystem>
#include <string>

namespace kestrava::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return dir; }
    std::string str() const { return dir.string(); }

private:
    std::filesystem::path dir;
};

}  // namespace kestrava::test
