#pragma once

#include "logging/GpsSyncStatus.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestrava::params {
class Param;
}

namespace kestrava::web::content {

// The GPS status rows of the status page, as the synchroniser's status record gives them:
//   "NMEA data" on/off, "GPS NMEA data" 12:34:56 (or the received second with
//   " (not matched to pulse)"), "GPS lock" on/off, "Remaining offset to be compensated"
//   "0.012 seconds", "Average samples between NMEA" "192000.0 samples" (empty without NMEA).
// Each text holds at most 63 characters.
struct GpsStatusTexts {
    static constexpr std::size_t maxChars = 63;

    bool nmeaTimePresent = false;
    bool gpsLocked = false;
    std::string gpsTime;
    std::string encoderOffset;
    std::string stamperRate;

    static GpsStatusTexts from(const GpsSyncStatus& status);
};

// Gives the five rows their values, each only where the parameter set has the row with the
// expected class; an unchanged value raises no change flag, so it costs the clients nothing.
void refreshGpsStatusRows(const GpsStatusTexts& texts, const std::function<params::Param*(std::int32_t)>& find);

}  // namespace kestrava::web::content
