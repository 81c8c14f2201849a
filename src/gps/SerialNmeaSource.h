#pragma once

#include "gps/NmeaByteSource.h"

#include <termios.h>

namespace kestrava::gps {

// A serial device (or any file) read with poll and a non-blocking read. A terminal is taken for
// exclusive use and set to raw 8 data bits, no parity, one stop bit at the configured baud rate;
// its earlier settings are put back at close.
class SerialNmeaSource final : public NmeaByteSource {
public:
    static constexpr int readTimeoutMs = 250;

    ~SerialNmeaSource() override;
    OpenResult open(const std::string& path, std::int32_t baudRate) override;
    void close() override;
    bool isOpen() const override { return fd >= 0; }
    ReadResult read(std::uint8_t* buffer, std::size_t capacity) override;

    // The termios speed constant of a baud rate; 0 when the system has none for it.
    static speed_t speedFor(std::int32_t baudRate);

private:
    int fd = -1;
    bool saved = false;
    termios savedSettings{};
};

}  // namespace kestrava::gps
