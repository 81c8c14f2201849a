#include "params/PBool.h"
#include "params/PString.h"
#include "params/ParamTable.h"
#include "web/content/GpsStatusTexts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

using kestrava::web::content::GpsStatusTexts;

GpsSyncStatus status(std::uint32_t stamped, std::uint32_t received, std::uint8_t nmea = 1, std::int32_t lock = 1) {
    GpsSyncStatus s;
    s.nmeaTimestamps = nmea;
    s.lockState = lock;
    s.stampedSecond = stamped;
    s.receivedSecond = received;
    s.encoderOffset = 0.0125f;
    s.stamperSampleRate = 192000.04f;
    return s;
}

TEST(GpsStatusTexts, TimeMatchesWhenTheReceivedSecondIsUpToFourAhead) {
    struct {
        std::uint32_t stamped, received;
        const char* text;
    } cases[] = {
        {45296, 45296, "12:34:56"},
        {45296, 45300, "12:34:56"},
        {45296, 45301, "12:35:01 (not matched to pulse)"},
        {86399, 2, "23:59:59"},  // three seconds after midnight
        {10, 9, "0:00:09 (not matched to pulse)"},
        {0, 0, "0:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GpsStatusTexts::from(status(c.stamped, c.received)).gpsTime, c.text) << c.stamped << " " << c.received;
    }
}

TEST(GpsStatusTexts, LockOffsetAndRate) {
    const GpsStatusTexts t = GpsStatusTexts::from(status(1, 1));
    EXPECT_TRUE(t.nmeaTimePresent);
    EXPECT_TRUE(t.gpsLocked);
    EXPECT_EQ(t.encoderOffset, "0.013 seconds");
    EXPECT_EQ(t.stamperRate, "192000.0 samples");
    for (std::int32_t lock : {0, 2, 4}) EXPECT_FALSE(GpsStatusTexts::from(status(1, 1, 1, lock)).gpsLocked) << lock;
    // Without NMEA stamps the rate row is empty; the others are still given.
    const GpsStatusTexts none = GpsStatusTexts::from(status(1, 1, 0));
    EXPECT_FALSE(none.nmeaTimePresent);
    EXPECT_EQ(none.stamperRate, "");
    EXPECT_EQ(none.encoderOffset, "0.013 seconds");
    // Wild values stay inside a row's 63 characters.
    GpsSyncStatus wild = status(1, 1);
    wild.encoderOffset = -std::numeric_limits<float>::max();
    wild.stamperSampleRate = std::nanf("");
    const GpsStatusTexts w = GpsStatusTexts::from(wild);
    EXPECT_LE(w.encoderOffset.size(), GpsStatusTexts::maxChars);
    EXPECT_EQ(w.stamperRate, "nan samples");
}

TEST(GpsStatusTexts, RowsTakeTheValuesAndAnUnchangedValueRaisesNothing) {
    using namespace kestrava::params;
    ParamTable owner;
    const NamePair n("S");
    std::vector<std::unique_ptr<Param>> rows;
    rows.push_back(std::make_unique<PBool>(owner, 4, kestrava::NOSAVEPARAM_has_nmea_timestamps, false, 2, ShortKey("a"), n, n, "NMEA data"));
    rows.push_back(std::make_unique<PString>(owner, 4, kestrava::NOSAVEPARAM_has_nmea_timestamps_timestamp, 64, "", ShortKey("b"), n, n, "GPS NMEA data", "%s"));
    rows.push_back(std::make_unique<PBool>(owner, 4, kestrava::NOSAVEPARAM_has_gps_lock, false, 2, ShortKey("c"), n, n, "GPS lock"));
    rows.push_back(std::make_unique<PString>(owner, 4, kestrava::NOSAVEPARAM_has_gps_encoderOffset, 64, "", ShortKey("d"), n, n, "Offset", "%s"));
    // The rate row is missing from this set: it is skipped.
    for (auto& r : rows) owner.registerParam(*r);
    auto find = [&](std::int32_t id) { return owner.findParam(static_cast<kestrava::ParamId>(id)); };

    const GpsStatusTexts t = GpsStatusTexts::from(status(45296, 45296));
    kestrava::web::content::refreshGpsStatusRows(t, find);
    EXPECT_TRUE(static_cast<PBool&>(*rows[0]).current());
    EXPECT_EQ(static_cast<PString&>(*rows[1]).current(), "12:34:56");
    EXPECT_TRUE(static_cast<PBool&>(*rows[2]).current());
    EXPECT_EQ(static_cast<PString&>(*rows[3]).current(), "0.013 seconds");
    for (auto& r : rows) r->valueChanged.clear(allViewBits);
    kestrava::web::content::refreshGpsStatusRows(t, find);
    for (auto& r : rows) EXPECT_EQ(r->valueChanged.word(), 0u) << r->id();
}

}  // namespace
