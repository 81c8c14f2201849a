#include "GpsTestSupport.h"
#include "gps/NmeaSentence.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>

using kestrava::gps::parseNmeaSentence;

namespace {

// Without the line feed, as the framer hands it over.
std::string line(const std::string& body) {
    std::string s = gpstest::sentence(body);
    s.pop_back();
    return s;
}

std::string lowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    s.replace(0, 6, "$GPGGA");
    return s;
}

struct Case {
    const char* name;
    std::string text;
    int type;             // -1: refused
    std::int32_t second;
};

TEST(NmeaSentence, ReadsTheTimeFieldOrRefusesTheSentence) {
    const Case cases[] = {
        {"fractional seconds", line("GPGGA,235959.50,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), 3, 86399},
        {"midnight", line("GNRMC,000000,A,,,,,,,,,,"), 1, 0},
        {"ZDA of the last head", line("GAZDA,120000.000,11,03,2026,00,00"), 11, 43200},
        {"GLONASS talker", line("GLRMC,010203.4,V,,,,,,,,,"), 7, 3723},
        {"no checksum is taken", "$GPZDA,000001.00,11,03,2026,,", 5, 1},
        {"lower-case checksum digits", lowerCase(line("GPGGA,000008,,,,,,,,,,,,,")), 3, 8},
        {"hour 25 is refused", line("GPRMC,251000,A,,,,,,,,,"), -1, 0},
        {"minute 60 is refused", line("GPRMC,126000,A,,,,,,,,,"), -1, 0},
        {"leap second 60 is refused", line("GPRMC,235960,A,,,,,,,,,"), -1, 0},
        {"empty time field", line("GPGGA,,,,,,0,00,,,M,,M,,"), -1, 0},
        {"five digits", line("GPGGA,12345,,,"), -1, 0},
        {"a dot without fraction", line("GPGGA,123456.,,,"), -1, 0},
        {"a letter in the time", line("GPGGA,12a456,,,"), -1, 0},
        {"unknown head", line("GPGSV,3,1,11,03,03,111,00"), -1, 0},
        {"head without its comma", line("GPRMC1,120000,A"), -1, 0},
        {"wrong checksum", "$GPRMC,120000,A*00", -1, 0},
        {"checksum not hexadecimal", "$GPRMC,120000,A*G0", -1, 0},
        {"text after the checksum", line("GPRMC,120000,A") + "x", -1, 0},
        {"only a dollar sign", "$", -1, 0},
        {"empty", "", -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto t = parseNmeaSentence(c.text);
        if (c.type < 0) {
            EXPECT_FALSE(t.has_value()) << c.text;
        } else {
            ASSERT_TRUE(t.has_value()) << c.text;
            EXPECT_EQ(t->typeIndex, c.type);
            EXPECT_EQ(t->second, c.second);
        }
    }
}

TEST(NmeaSentence, ChecksumIsTheXorBetweenDollarAndStar) {
    // A receiver's sentence as sent, with its published checksum.
    EXPECT_TRUE(parseNmeaSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r"));
    EXPECT_TRUE(parseNmeaSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"));
    // One flipped digit in the time changes the sum: refused rather than read as another second.
    EXPECT_FALSE(parseNmeaSentence("$GPGGA,123518,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"));
}

}  // namespace
