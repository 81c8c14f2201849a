#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava::gps {

// NMEA bytes with their arrival times, to stamp a stream without a receiver. As text, one read
// per line: the arrival in seconds from the start of the stream, one space, then the bytes of the
// read (a line feed is added; a carriage return may precede it). Empty lines and lines starting
// with '#' are skipped. Arrivals must not go back in time.
struct NmeaRead {
    std::int64_t arrivalNs = 0;
    std::string bytes;
};

struct NmeaScript {
    std::vector<NmeaRead> reads;

    // Nothing, and the line number and reason in `error`, for a malformed script.
    static std::optional<NmeaScript> parse(std::string_view text, std::string& error);
};

// A 1 Hz receiver: read k arrives at phase + k seconds and carries second (first + k) of the day
// in an RMC sentence followed by a GGA sentence.
class SyntheticNmea {
public:
    static constexpr std::int32_t defaultFirstSecond = 86355;  // 23:59:15, to cross midnight
    static constexpr double defaultPhase = 0.25;

    explicit SyntheticNmea(std::int32_t firstSecond = defaultFirstSecond, double phase = defaultPhase)
        : firstSecond(firstSecond), phase(phase) {}
    NmeaRead read(std::int64_t k) const;
    std::int32_t secondOf(std::int64_t k) const;
    double arrivalOf(std::int64_t k) const { return phase + static_cast<double>(k); }

private:
    std::int32_t firstSecond;
    double phase;
};

// "$" + body + "*hh\r\n" with the sentence's checksum.
std::string nmeaSentence(std::string_view body);

}  // namespace kestrava::gps
