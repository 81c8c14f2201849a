#include "model/SettingsFileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrava::model {

namespace {

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

class PosixSettingsFileSystem final : public SettingsFileSystem {
public:
    int readFile(const std::string& path, std::size_t maxBytes, std::string& out) override {
        out.clear();
        const int fd = openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK);  // a FIFO must not block the start
        if (fd < 0) return errno;
        struct stat st {};
        int error = 0;
        if (::fstat(fd, &st) != 0) {
            error = errno;
        } else if (!S_ISREG(st.st_mode)) {
            error = EISDIR;
        } else {
            char buffer[16384];
            for (;;) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) {
                    error = errno;
                    break;
                }
                if (n == 0) break;
                if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
                    error = EFBIG;
                    break;
                }
                out.append(buffer, static_cast<std::size_t>(n));
            }
        }
        ::close(fd);
        if (error != 0) out.clear();
        return error;
    }

    int writeDurably(const std::string& path, std::string_view text) override {
        const int fd = openRetrying(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return errno;
        int error = 0;
        // A leftover file keeps its mode through O_CREAT; the settings may hold password digests.
        if (::fchmod(fd, 0600) != 0) error = errno;
        std::size_t done = 0;
        while (error == 0 && done < text.size()) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        if (error == 0 && ::fsync(fd) != 0) error = errno;
        if (::close(fd) != 0 && error == 0) error = errno;
        return error;
    }

    Kind kind(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return Kind::missing;
        return S_ISREG(st.st_mode) ? Kind::regularFile : Kind::other;
    }

    int link(const std::string& from, const std::string& to) override {
        return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }

    int rename(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }

    int remove(const std::string& path) override {
        if (::unlink(path.c_str()) == 0 || errno == ENOENT) return 0;
        return errno;
    }

    int syncFolderOf(const std::string& path) override {
        const int fd = openRetrying(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return errno;
        const int error = ::fsync(fd) == 0 ? 0 : errno;
        ::close(fd);
        return error;
    }
};

}  // namespace

SettingsFileSystem& posixSettingsFileSystem() {
    static PosixSettingsFileSystem fileSystem;
    return fileSystem;
}

}  // namespace kestrava::model
