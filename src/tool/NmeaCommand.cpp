// kestrava-tool nmea --device PATH [--baud N] [--seconds S]
// kestrava-tool nmea --system-clock [--offset X] [--seconds S]
// Runs the GPS time reader on a serial NMEA device (or on the system clock shifted back by X
// seconds) and prints every stamp it publishes: the second of the UTC day, its time, the arrival
// in seconds since the start and the mean interval once known. Without --seconds it runs until
// interrupted.
#include "tool/Commands.h"

#include "gps/GpsClock.h"
#include "gps/GpsNmeaTimeReader.h"
#include "gps/SerialNmeaSource.h"
#include "logging/KestravaInstanceConfig.h"
#include "platform/SystemError.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: kestrava-tool nmea --device PATH [--baud N] [--seconds S]\n"
                 "       kestrava-tool nmea --system-clock [--offset X] [--seconds S]\n");
    return 2;
}

bool parseNumber(const char* text, double low, double high, double& value) {
    if (text == nullptr) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !(v >= low && v <= high)) return false;
    value = v;
    return true;
}

}  // namespace

int runNmeaCommand(int argc, char** argv) {
    std::string device;
    bool systemClock = false;
    double baud = 9600.0, offset = 0.0, seconds = 0.0;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--system-clock") {
            systemClock = true;
        } else if (arg == "--device" && value != nullptr && *value != '\0') {
            device = value;
            ++i;
        } else if (arg == "--baud" && parseNumber(value, 1, 4000000, baud) && baud == std::floor(baud)) {
            ++i;
        } else if (arg == "--offset" && parseNumber(value, -86400, 86400, offset)) {
            ++i;
        } else if (arg == "--seconds" && parseNumber(value, 0, 1e7, seconds)) {
            ++i;
        } else {
            return usage();
        }
    }
    if (systemClock == !device.empty()) return usage();

    auto source = std::make_unique<kestrava::gps::SerialNmeaSource>();
    if (!systemClock) {
        if (kestrava::gps::SerialNmeaSource::speedFor(static_cast<std::int32_t>(baud)) == 0) {
            std::fprintf(stderr, "kestrava-tool nmea: baud rate %.0f not supported\n", baud);
            return 2;
        }
        // Tried once here so that a wrong path gives a plain error instead of endless retries.
        const auto r = source->open(device, static_cast<std::int32_t>(baud));
        if (r.error != 0) {
            std::fprintf(stderr, "kestrava-tool nmea: cannot open NMEA device %s: %s\n", device.c_str(),
                         kestrava::describeSystemError(r.error).c_str());
            return 1;
        }
        source->close();
    }

    KestravaInstanceConfig config(192000, 2040);
    config.engine.gpsDevice = systemClock ? kestrava::gps::selectSystemClock : kestrava::gps::selectNamedDevice;
    config.engine.gpsBaudRate = static_cast<std::int32_t>(baud);
    config.engine.gpsClockOffset = static_cast<float>(offset);
    config.engine.setText(EngineSettings::TextNmeaDevice, device);

    kestrava::gps::GpsClock& clock = kestrava::gps::realGpsClock();
    kestrava::gps::GpsNmeaTimeReader reader(config, clock, std::move(source), false);
    reader.start(0, 0);  // runs on this thread
    const std::int64_t start = clock.steadyNs();
    const auto limit = static_cast<std::int64_t>(seconds * 1e9);
    reader.openDevice();
    std::int32_t printed = -1;
    std::int64_t printedArrival = -1;
    while (seconds == 0.0 || clock.steadyNs() - start < limit) {
        reader.pass();
        const auto latest = reader.latestStamp();
        if (latest.second < 0 || (latest.second == printed && latest.arrivalNs == printedArrival)) continue;
        printed = latest.second;
        printedArrival = latest.arrivalNs;
        const std::int32_t s = latest.second;
        std::printf("second %5d  %02d:%02d:%02d UTC  arrival %.6f s", s, s / 3600, s / 60 % 60, s % 60,
                    static_cast<double>(latest.arrivalNs - start) / 1e9);
        const double m = reader.meanInterval();
        if (m > 0.0) std::printf("  mean interval %.6f s", m);
        std::printf("\n");
        std::fflush(stdout);
    }
    reader.stop();
    return 0;
}
