#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrava::gps {

// Where the NMEA reader's bytes come from: a serial device on the machine, or a script in tests.
class NmeaByteSource {
public:
    struct OpenResult {
        int error = 0;             // 0 when open; otherwise the system error number
        bool lineSettingsFailed = false;  // open, but the line could not be set up
    };
    struct ReadResult {
        enum Status { Data, Timeout, EndOfFile, Failed };
        Status status = Timeout;
        std::size_t count = 0;
        int error = 0;  // the system error number of a failed read
    };

    virtual ~NmeaByteSource() = default;
    // Opens the device; a terminal is set to raw 8N1 at baudRate with its old settings kept.
    virtual OpenResult open(const std::string& path, std::int32_t baudRate) = 0;
    // Puts back the saved line settings and closes; nothing when closed.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Up to `capacity` bytes: at once with what has arrived, or with nothing after 250 ms.
    virtual ReadResult read(std::uint8_t* buffer, std::size_t capacity) = 0;
};

}  // namespace kestrava::gps
