#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrava::model {

// The file operations of the settings store, behind an interface so that tests can make any
// step fail or stop part-way (a crash) without touching the real save code. Every operation
// returns 0 or the system error number (errno) of its failure.
class SettingsFileSystem {
public:
    enum class Kind { missing, regularFile, other };

    virtual ~SettingsFileSystem() = default;

    // The whole file, when it can be opened and holds at most maxBytes (EFBIG otherwise).
    virtual int readFile(const std::string& path, std::size_t maxBytes, std::string& out) = 0;
    // Creates or truncates the file with mode 0600, writes all of the text, makes it durable
    // (fsync) and closes it.
    virtual int writeDurably(const std::string& path, std::string_view text) = 0;
    virtual Kind kind(const std::string& path) = 0;
    // A second name for an existing file (a hard link); fails when `to` exists.
    virtual int link(const std::string& from, const std::string& to) = 0;
    // Replaces `to` atomically.
    virtual int rename(const std::string& from, const std::string& to) = 0;
    // 0 when the file is gone afterwards (also when it was never there).
    virtual int remove(const std::string& path) = 0;
    // Makes the folder's entries durable (after a rename in it).
    virtual int syncFolderOf(const std::string& path) = 0;
};

// The real file system (POSIX calls, retried on EINTR).
SettingsFileSystem& posixSettingsFileSystem();

}  // namespace kestrava::model
