#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrava::gps {

// The sentence heads whose first field is the UTC time, in table order (index 0 to 11).
inline constexpr std::array<std::string_view, 12> nmeaHeads{
    "$GNGGA", "$GNRMC", "$GNZDA", "$GPGGA", "$GPRMC", "$GPZDA",
    "$GLGGA", "$GLRMC", "$GLZDA", "$GAGGA", "$GARMC", "$GAZDA"};

struct NmeaTime {
    int typeIndex = -1;       // index into nmeaHeads
    std::int32_t second = 0;  // second of the UTC day, 0 to 86399
};

// One sentence from its dollar sign up to its line feed (excluded; a carriage return before it is
// allowed). Nothing for an unknown head, a "*hh" checksum that is malformed or does not match, or a
// time field that is not hhmmss[.fff] with hours 0-23, minutes and seconds 0-59. A sentence
// without a checksum is taken as it stands.
std::optional<NmeaTime> parseNmeaSentence(std::string_view sentence);

}  // namespace kestrava::gps
