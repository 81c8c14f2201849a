#include "web/content/GpsStatusTexts.h"

#include "params/ValueParam.h"
#include "params/ids/ParamId.h"

#include <fmt/format.h>

namespace kestrava::web::content {

namespace {

constexpr std::uint32_t secondsPerDay = 86'400;
constexpr std::uint32_t matchWindow = 5;  // the received second may run up to 4 s ahead

std::string bounded(std::string text) {
    if (text.size() > GpsStatusTexts::maxChars) text.resize(GpsStatusTexts::maxChars);
    return text;
}

std::string clockText(std::uint32_t second) {
    return fmt::format("{}:{:02d}:{:02d}", second / 3600, (second / 60) % 60, second % 60);
}

void setBool(params::Param* p, bool value) {
    if (auto* row = dynamic_cast<params::ValueParam<bool>*>(p)) row->setValue(value);
}

void setText(params::Param* p, const std::string& value) {
    if (auto* row = dynamic_cast<params::ValueParam<std::string>*>(p)) row->setValue(value);
}

}  // namespace

GpsStatusTexts GpsStatusTexts::from(const GpsSyncStatus& status) {
    GpsStatusTexts t;
    // Each field is read once: the record is written by the encoder's feed thread meanwhile.
    const std::uint8_t nmea = status.nmeaTimestamps;
    const std::int32_t lock = status.lockState;
    const std::uint32_t stamped = status.stampedSecond;
    const std::uint32_t received = status.receivedSecond;
    const float offset = status.encoderOffset;
    const float rate = status.stamperSampleRate;

    t.nmeaTimePresent = nmea != 0;
    t.gpsLocked = lock == 1;
    // Seconds of day run forward around midnight; both are below 86,400 when valid, and a
    // wrong one only gives a wrong text.
    const std::uint32_t ahead =
        ((received % secondsPerDay) + secondsPerDay - (stamped % secondsPerDay)) % secondsPerDay;
    t.gpsTime = ahead < matchWindow ? clockText(stamped) : clockText(received) + " (not matched to pulse)";
    t.gpsTime = bounded(std::move(t.gpsTime));
    t.encoderOffset = bounded(fmt::format("{:.3f} seconds", offset));
    t.stamperRate = t.nmeaTimePresent ? bounded(fmt::format("{:.1f} samples", rate)) : std::string{};
    return t;
}

void refreshGpsStatusRows(const GpsStatusTexts& texts, const std::function<params::Param*(std::int32_t)>& find) {
    setBool(find(NOSAVEPARAM_has_nmea_timestamps), texts.nmeaTimePresent);
    setText(find(NOSAVEPARAM_has_nmea_timestamps_timestamp), texts.gpsTime);
    setBool(find(NOSAVEPARAM_has_gps_lock), texts.gpsLocked);
    setText(find(NOSAVEPARAM_has_gps_encoderOffset), texts.encoderOffset);
    setText(find(NOSAVEPARAM_gpsStatus_stamperSampleRate), texts.stamperRate);
}

}  // namespace kestrava::web::content
