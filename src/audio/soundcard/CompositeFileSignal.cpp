#include "audio/soundcard/CompositeFileSignal.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrava::audio::soundcard {

CompositeFileSignal::CompositeFileSignal(const std::string& path, const std::atomic<bool>* stop)
    : samples(std::make_shared<std::vector<float>>()) {
    // Never blocks: a FIFO without a writer opens at once and is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        errorText = "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    std::vector<char> bytes;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        errorText = "cannot read " + path + ": " + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        errorText = path + " is not a regular file";
    } else if (static_cast<std::uint64_t>(info.st_size) > maxFileBytes) {
        errorText = path + " is larger than " + std::to_string(maxFileBytes >> 20) + " MiB";
    } else {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        while (got < bytes.size() && errorText.empty()) {
            if (stop != nullptr && stop->load()) {
                errorText = "stopped while reading " + path;
                break;
            }
            const ::ssize_t n = ::read(fd, bytes.data() + got, std::min<std::size_t>(bytes.size() - got, 1 << 20));
            if (n > 0) {
                got += static_cast<std::size_t>(n);
            } else if (n == 0) {
                bytes.resize(got);  // shrank while being read
            } else if (errno != EINTR) {
                errorText = "cannot read " + path + ": " + std::strerror(errno);
            }
        }
    }
    ::close(fd);
    if (!errorText.empty()) return;
    const std::size_t count = bytes.size() / sizeof(float);
    samples->resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t word = 0;
        for (int b = 3; b >= 0; --b) word = (word << 8) | static_cast<unsigned char>(bytes[i * 4 + static_cast<std::size_t>(b)]);
        (*samples)[i] = std::bit_cast<float>(word);
    }
    if (count == 0) errorText = path + " holds no 32-bit float sample";
}

void CompositeFileSignal::operator()(float* block, std::uint32_t count) {
    const std::vector<float>& data = *samples;
    if (data.empty()) {
        std::fill(block, block + count, 0.0f);
        return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        block[i] = data[position];
        if (++position == data.size()) position = 0;
    }
}

}  // namespace kestrava::audio::soundcard
