#include "gps/SerialNmeaSource.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrava::gps {

SerialNmeaSource::~SerialNmeaSource() { close(); }

speed_t SerialNmeaSource::speedFor(std::int32_t baudRate) {
    switch (baudRate) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        case 460800: return B460800;
        case 921600: return B921600;
        default: return 0;
    }
}

NmeaByteSource::OpenResult SerialNmeaSource::open(const std::string& path, std::int32_t baudRate) {
    close();
    OpenResult result;
    const int f = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) {
        result.error = errno;
        return result;
    }
    fd = f;
    if (!::isatty(fd)) return result;  // a file or pipe is read as it stands

    if (::ioctl(fd, TIOCEXCL) != 0) result.lineSettingsFailed = true;
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        result.lineSettingsFailed = true;
        return result;
    }
    savedSettings = t;
    saved = true;
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t speed = speedFor(baudRate);
    if (speed != 0) {
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
    } else {
        result.lineSettingsFailed = true;
    }
    if (::tcsetattr(fd, TCSANOW, &t) != 0) result.lineSettingsFailed = true;
    return result;
}

void SerialNmeaSource::close() {
    if (fd < 0) return;
    if (saved) ::tcsetattr(fd, TCSANOW, &savedSettings);
    saved = false;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    fd = -1;
}

NmeaByteSource::ReadResult SerialNmeaSource::read(std::uint8_t* buffer, std::size_t capacity) {
    ReadResult r;
    if (fd < 0) {
        r.status = ReadResult::Failed;
        r.error = EBADF;
        return r;
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, readTimeoutMs);
    if (ready < 0) {
        if (errno == EINTR) return r;
        r.status = ReadResult::Failed;
        r.error = errno;
        return r;
    }
    if (ready == 0) return r;
    const ssize_t n = ::read(fd, buffer, capacity);
    if (n > 0) {
        r.status = ReadResult::Data;
        r.count = static_cast<std::size_t>(n);
    } else if (n == 0) {
        r.status = ReadResult::EndOfFile;
    } else if (errno == EAGAIN || errno == EINTR) {
        r.status = ReadResult::Timeout;
    } else {
        r.status = ReadResult::Failed;
        r.error = errno;
    }
    return r;
}

}  // namespace kestrava::gps
