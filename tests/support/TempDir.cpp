#include "support/TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace kestrava::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrava-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace kestrava::test
