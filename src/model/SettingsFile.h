#pragma once

#include "model/SettingsFileSystem.h"
#include "model/SettingsText.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrava::model {

// Writes and reads one instance's settings file with its two companions, named by appending to
// the whole path: ".NEW" (the new text while it is written) and ".bak" (the previous file while
// the new one takes its place).
//
// A save never leaves a settings file that is partly written: the new text goes to ".NEW" and is
// made durable, the old file gets the second name ".bak", ".NEW" is renamed over the file (an
// atomic replacement), the folder is made durable, and only then is ".bak" removed. A crash at
// any step leaves the file with the complete old or the complete new text.
class SettingsFile {
public:
    static constexpr std::size_t maxPathChars = 385;
    // Far above any real settings file (about 100 kB); a larger file is refused, not read.
    static constexpr std::size_t maxFileBytes = 8u << 20;

    struct SaveResult {
        bool ok = true;
        bool written = false;  // false for an empty path: nothing to do
        std::string problem;   // what failed, for the log, when !ok
    };

    struct LoadResult {
        bool loaded = false;      // a usable file (at least one key line) was parsed
        bool fromBackup = false;  // ... and it was the ".bak" file
        std::string problem;      // an unusable file that exists, for the log; empty otherwise
    };

    explicit SettingsFile(SettingsFileSystem& fileSystem = posixSettingsFileSystem()) : fs(fileSystem) {}

    SaveResult save(const std::string& path, std::string_view text);
    // Parses the file, or the ".bak" file when the file cannot be read or has no key line.
    LoadResult load(const std::string& path, SectionMap& sections);

    static std::string newPath(const std::string& path) { return path + ".NEW"; }
    static std::string backupPath(const std::string& path) { return path + ".bak"; }

private:
    int keepBackup(const std::string& path, const std::string& backup);
    // 0 and the key-line count, or the error of reading it (ENODATA: no key line).
    int parseFile(const std::string& path, SectionMap& sections);

    SettingsFileSystem& fs;
};

}  // namespace kestrava::model
