#include "gps/NmeaSentence.h"

namespace kestrava::gps {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int twoDigits(std::string_view s, std::size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

}  // namespace

std::optional<NmeaTime> parseNmeaSentence(std::string_view s) {
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    if (s.size() < 7 || s[0] != '$') return std::nullopt;

    int type = -1;
    for (std::size_t k = 0; k < nmeaHeads.size(); ++k) {
        if (s.substr(0, 6) == nmeaHeads[k]) {
            type = static_cast<int>(k);
            break;
        }
    }
    if (type < 0 || s[6] != ',') return std::nullopt;

    // The checksum covers everything between the dollar sign and the star.
    std::string_view body = s.substr(1);
    const std::size_t star = body.find('*');
    if (star != std::string_view::npos) {
        if (body.size() != star + 3) return std::nullopt;
        const int high = hexValue(body[star + 1]);
        const int low = hexValue(body[star + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        unsigned sum = 0;
        for (std::size_t i = 0; i < star; ++i) sum ^= static_cast<unsigned char>(body[i]);
        if (sum != static_cast<unsigned>(high * 16 + low)) return std::nullopt;
        body = body.substr(0, star);
    }

    // The time field: hhmmss, optionally with a fraction, up to the next comma or the end.
    std::string_view field = body.substr(6);
    const std::size_t comma = field.find(',');
    if (comma != std::string_view::npos) field = field.substr(0, comma);
    if (field.size() < 6) return std::nullopt;
    for (std::size_t i = 0; i < 6; ++i) {
        if (!isDigit(field[i])) return std::nullopt;
    }
    if (field.size() > 6) {
        if (field[6] != '.' || field.size() == 7) return std::nullopt;
        for (std::size_t i = 7; i < field.size(); ++i) {
            if (!isDigit(field[i])) return std::nullopt;
        }
    }
    const int hours = twoDigits(field, 0), minutes = twoDigits(field, 2), seconds = twoDigits(field, 4);
    if (hours > 23 || minutes > 59 || seconds > 59) return std::nullopt;
    return NmeaTime{type, hours * 3600 + minutes * 60 + seconds};
}

}  // namespace kestrava::gps
