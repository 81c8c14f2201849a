#include "gps/GpsNmeaTimeReader.h"

#include "gps/NmeaSentence.h"
#include "logging/KestravaInstanceConfig.h"
#include "platform/SystemError.h"
#include "platform/ThreadSetup.h"

#include <cmath>

namespace kestrava::gps {

namespace {

constexpr std::int32_t secondsPerDay = 86400;
constexpr std::int64_t nsPerSecond = 1'000'000'000;
constexpr std::int64_t retryDelayNs = nsPerSecond;
constexpr int idleSleepMs = 250;

double seconds(std::int64_t ns) { return static_cast<double>(ns) / 1e9; }

}  // namespace

std::string nmeaDevicePath(std::int32_t selection, const std::string& name) {
    if (selection < 0) return name;
    if (selection == 0) return "COM0";  // no such port: the open fails and says so
    return "/dev/ttyS" + std::to_string(selection - 1);
}

GpsNmeaTimeReader::GpsNmeaTimeReader(KestravaInstanceConfig& config, GpsClock& clock,
                                     std::unique_ptr<NmeaByteSource> source, bool threaded)
    : config(config), clock(clock), source(std::move(source)), threaded(threaded) {
    resetFilters();
}

GpsNmeaTimeReader::~GpsNmeaTimeReader() {
    stop();
    closeDevice();
}

void GpsNmeaTimeReader::start(int priority, std::uint64_t affinityMask) {
    if (running.exchange(true)) return;
    if (thread.joinable()) thread.join();
    if (!threaded) return;
    ThreadOptions options;
    options.name = "GPS reader";
    options.priority = priority;
    options.affinityMask = affinityMask & 0xFFFFFFFFu;
    thread = startThread(options, [this] { run(); });
}

void GpsNmeaTimeReader::stop() {
    if (!running.exchange(false)) return;
    if (thread.joinable()) thread.join();
    closeDevice();
}

void GpsNmeaTimeReader::run() {
    framer.clear();
    publishedBurst = 0;
    haveSystemStamp = false;
    openDevice();
    while (running.load()) pass();
}

void GpsNmeaTimeReader::openDevice() {
    closeDevice();
    resetFilters();
    reportOpenFailure = true;
    tryOpen();
}

void GpsNmeaTimeReader::tryOpen() {
    auto& engine = config.engine;
    selection = engine.gpsDevice.load();
    baudRate = engine.gpsBaudRate.load();
    clockOffset = engine.gpsClockOffset.load();
    nameInForce.clear();
    if (selection == selectSystemClock) {
        currentMode = GpsReaderMode::SystemClock;
        return;
    }
    currentMode = GpsReaderMode::NmeaDevice;
    nameInForce = nmeaDevicePath(selection, engine.getText(EngineSettings::TextNmeaDevice));
    if (!source) return;
    const NmeaByteSource::OpenResult r = source->open(nameInForce, baudRate);
    if (r.error != 0) {
        if (reportOpenFailure) {
            const std::string text = systemErrorText(r.error);
            config.logger.log(1, KestravaLogger::Error, "Failed to open NMEA device {}: error #{} ({})", nameInForce,
                              r.error, text);
            config.statusMessages.postTimedStatusMessage(StatusError, 0, "Failed to open NMEA device {}: error #{} ({})",
                                                         nameInForce, r.error, text);
            reportOpenFailure = false;
        }
        retryAtNs = clock.steadyNs() + retryDelayNs;
        return;
    }
    if (r.lineSettingsFailed) config.logger.log(1, KestravaLogger::Error, "Failed to set comm timeouts");
    config.logger.log(1, KestravaLogger::Info, "Successfully opened NMEA device {}", nameInForce);
}

void GpsNmeaTimeReader::closeDevice() {
    if (source) source->close();
}

bool GpsNmeaTimeReader::settingsChanged() const {
    const auto& engine = config.engine;
    const std::int32_t s = engine.gpsDevice.load();
    if (s != selection || engine.gpsBaudRate.load() != baudRate) return true;
    const float offset = engine.gpsClockOffset.load();
    if (!(offset == clockOffset)) return true;  // a NaN on either side counts as a change
    if (s == selectNamedDevice) {
        return nmeaDevicePath(s, engine.getText(EngineSettings::TextNmeaDevice)) != nameInForce;
    }
    return false;
}

void GpsNmeaTimeReader::pass() {
    if (currentMode == GpsReaderMode::SystemClock) {
        systemClockStep();
        clock.sleepMs(1);
    } else if (currentMode == GpsReaderMode::NmeaDevice && source && source->isOpen()) {
        std::uint8_t buffer[64];
        const NmeaByteSource::ReadResult r = source->read(buffer, sizeof buffer);
        const std::int64_t now = clock.steadyNs();  // stands for every byte of this read
        if (r.status == NmeaByteSource::ReadResult::Data) {
            readFailureReported = false;
            feed(buffer, r.count, now);
        } else if (r.status != NmeaByteSource::ReadResult::Timeout) {
            readFailed(r);
        }
    } else {
        clock.sleepMs(idleSleepMs);
        if (currentMode == GpsReaderMode::NmeaDevice && clock.steadyNs() >= retryAtNs) tryOpen();
    }
    if (settingsChanged()) openDevice();
}

void GpsNmeaTimeReader::readFailed(const NmeaByteSource::ReadResult& r) {
    // Reported once until bytes flow again, so that a device that fails at every open does not
    // fill the log; the reopen waits a second for the same reason.
    if (!readFailureReported) {
        if (r.status == NmeaByteSource::ReadResult::EndOfFile) {
            config.logger.log(1, KestravaLogger::Error, "Unexpected EOF for NMEA device {}", nameInForce);
            config.statusMessages.postTimedStatusMessage(StatusError, 0, "Unexpected EOF for NMEA device {}",
                                                         nameInForce);
        } else {
            const std::string text = systemErrorText(r.error);
            config.logger.log(1, KestravaLogger::Error, "Error reading NMEA device {}: #{} ({})", nameInForce, r.error,
                              text);
            config.statusMessages.postTimedStatusMessage(StatusError, 0, "Error reading NMEA device {}: #{} ({})",
                                                         nameInForce, r.error, text);
        }
        readFailureReported = true;
    }
    closeDevice();
    resetFilters();
    reportOpenFailure = true;
    retryAtNs = clock.steadyNs() + retryDelayNs;
}

void GpsNmeaTimeReader::feed(const std::uint8_t* data, std::size_t count, std::int64_t nowNs) {
    framer.feed(data, count, nowNs, [this](const NmeaFramer::Sentence& s) {
        if (s.burst == publishedBurst) return;  // one stamp per burst
        const std::optional<NmeaTime> t = parseNmeaSentence(s.text);
        if (!t) return;
        publishedBurst = s.burst;
        accept(t->second, s.arrivalNs, false);
    });
}

bool GpsNmeaTimeReader::systemClockStep() {
    const std::int64_t now = clock.steadyNs();
    const std::int64_t utc = clock.utcSeconds();
    const auto s = static_cast<std::int32_t>(((utc % secondsPerDay) + secondsPerDay) % secondsPerDay);
    if (!haveSystemSecond || (s != lastSystemSecond && (lastSystemSecond - s + secondsPerDay) % secondsPerDay != 1)) {
        haveSystemSecond = true;
        lastSystemSecond = s;
        systemSecondChange = now;
    }
    const double t = s - 0.5 + seconds(now - systemSecondChange) - static_cast<double>(clockOffset);
    if (!std::isfinite(t)) return false;
    const auto whole = static_cast<std::int64_t>(std::floor(t));
    const auto stamp = static_cast<std::int32_t>(((whole % secondsPerDay) + secondsPerDay) % secondsPerDay);
    if (haveSystemStamp && stamp == systemStamp) return false;
    haveSystemStamp = true;
    systemStamp = stamp;
    accept(stamp, now, true);
    return true;
}

void GpsNmeaTimeReader::accept(std::int32_t second, std::int64_t arrivalNs, bool fromSystemClock) {
    std::lock_guard lock(mutex);
    checkClockOffset(arrivalNs);
    if (havePreviousSecond && (second - previousSecond + secondsPerDay) % secondsPerDay != 1) {
        if (fromSystemClock) {
            config.logger.log(1, KestravaLogger::Warning, "Unexpected system lock timestamp received, previous {}, new {}",
                              previousSecond, second);
        } else {
            config.logger.log(1, KestravaLogger::Warning, "Unexpected GPS timestamp received, previous {}, new {}",
                              previousSecond, second);
        }
        jumped.store(true);
        reanchor = true;
    }
    havePreviousSecond = true;
    previousSecond = second;

    StampRecord& slot = ring[static_cast<std::size_t>(writeIndex)];
    slot.second = second;
    slot.time = smoothedTime;
    slot.valid = true;
    writeIndex = (writeIndex + 1) & 3;
    latestRecord = LatestStamp{second, arrivalNs, smoothedTime};
    lastArrivalNs.store(arrivalNs, std::memory_order_release);
    latest.store(second, std::memory_order_release);
}

void GpsNmeaTimeReader::checkClockOffset(std::int64_t arrivalNs) {
    const double dt = seconds(arrivalNs - previousArrival);
    if (!havePreviousArrival) {
        havePreviousArrival = true;  // the first burst has no interval
    } else if (dt > 0.5 && dt < 1.5) {
        intervalMean.add(dt);
        intervalMeanSlow.add(intervalMean.mean());
    } else if (!reanchor) {
        config.logger.log(1, KestravaLogger::Warning,
                          "System time offset detected, time difference is {} in NMEA time reader", dt);
    }
    previousArrival = arrivalNs;
    const double m = intervalMeanSlow.mean();
    publishedMean.store(m, std::memory_order_release);
    if (m <= 0.0) return;
    const double arrival = seconds(arrivalNs);
    // Anchored at the burst's own arrival, so the first smoothed time is that arrival.
    if (reanchor) {
        reanchor = false;
        predictedTime = arrival - m;
    }
    const double p = predictedTime + m;
    smoothedTime = p + deviationMean.mean();
    deviationMean.add(arrival - p);
    predictedTime = p;
}

bool GpsNmeaTimeReader::takeStamp(std::int32_t second, StampRecord& out) {
    std::lock_guard lock(mutex);
    for (int k = 0; k < 4; ++k) {
        const int i = (readIndex + k) & 3;
        StampRecord& slot = ring[static_cast<std::size_t>(i)];
        if (slot.valid && slot.second == second) {
            out = slot;
            slot.valid = false;
            readIndex = i;
            return true;
        }
    }
    return false;
}

GpsNmeaTimeReader::LatestStamp GpsNmeaTimeReader::latestStamp() const {
    std::lock_guard lock(mutex);
    return latestRecord;
}

void GpsNmeaTimeReader::resetFilters() {
    std::lock_guard lock(mutex);
    reanchor = true;
    intervalMean.restart(1.0, 1.0, 5);
    intervalMeanSlow.restart(0.0, 0.0, 5);
    deviationMean.restart(1.0, 0.0, 10);
    havePreviousSecond = false;
    jumped.store(false);
    publishedMean.store(0.0, std::memory_order_release);
}

}  // namespace kestrava::gps
