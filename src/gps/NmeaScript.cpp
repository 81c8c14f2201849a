#include "gps/NmeaScript.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kestrava::gps {

std::string nmeaSentence(std::string_view body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFFu);
    std::string s = "$";
    s.append(body);
    s.append(tail);
    return s;
}

std::optional<NmeaScript> NmeaScript::parse(std::string_view text, std::string& error) {
    NmeaScript script;
    std::size_t lineNumber = 0;
    std::int64_t last = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string line(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::size_t space = line.find(' ');
        const std::string number = line.substr(0, space);
        char* stop = nullptr;
        errno = 0;
        const double seconds = std::strtod(number.c_str(), &stop);
        if (number.empty() || stop != number.c_str() + number.size() || errno != 0 || !std::isfinite(seconds) ||
            seconds < 0.0 || seconds > 1e9) {
            error = "line " + std::to_string(lineNumber) + ": arrival time in seconds expected";
            return std::nullopt;
        }
        const auto ns = static_cast<std::int64_t>(std::llround(seconds * 1e9));
        if (ns < last) {
            error = "line " + std::to_string(lineNumber) + ": arrival before the previous one";
            return std::nullopt;
        }
        last = ns;
        std::string bytes = space == std::string::npos ? std::string() : line.substr(space + 1);
        bytes += "\r\n";
        script.reads.push_back(NmeaRead{ns, std::move(bytes)});
    }
    return script;
}

std::int32_t SyntheticNmea::secondOf(std::int64_t k) const {
    return static_cast<std::int32_t>(((firstSecond + k) % 86400 + 86400) % 86400);
}

NmeaRead SyntheticNmea::read(std::int64_t k) const {
    const std::int32_t s = secondOf(k);
    char time[32];  // room for any int the compiler cannot bound
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", s / 3600, s / 60 % 60, s % 60);
    const std::string t(time);
    NmeaRead r;
    r.arrivalNs = static_cast<std::int64_t>(std::llround(arrivalOf(k) * 1e9));
    r.bytes = nmeaSentence("GPRMC," + t + ",A,4807.038,N,01131.000,E,0.0,0.0,110326,,,A") +
              nmeaSentence("GPGGA," + t + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    return r;
}

}  // namespace kestrava::gps
