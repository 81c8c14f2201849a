#include "gps/GpsTimeSync.h"

#include "gps/SerialNmeaSource.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/KestravaStatus.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kestrava::gps {

namespace {

constexpr std::int32_t secondsPerDay = 86400;

std::int32_t dayDistance(std::int32_t a, std::int32_t b) {
    const std::int32_t d = std::abs(a - b);
    return std::min(d, secondsPerDay - d);
}

std::int32_t wrapSecond(std::int64_t s) {
    return static_cast<std::int32_t>(((s % secondsPerDay) + secondsPerDay) % secondsPerDay);
}

}  // namespace

std::array<ExponentialMean, GpsTimeSync::offsetMeanCount> GpsTimeSync::makeOffsetMeans() {
    std::array<ExponentialMean, offsetMeanCount> means{
        ExponentialMean{0, 0}, ExponentialMean{0, 0}, ExponentialMean{0, 0}, ExponentialMean{0, 0},
        ExponentialMean{0, 0}, ExponentialMean{0, 0}, ExponentialMean{0, 0}, ExponentialMean{0, 0}};
    for (int i = 0; i < offsetMeanCount; ++i) {
        const double gain = 0.001 * std::ldexp(1.0, i);
        means[static_cast<std::size_t>(i)] = ExponentialMean{1.0 - gain, gain};
        means[static_cast<std::size_t>(i)].restart(0.0, 0.0, 6);
    }
    return means;
}

GpsTimeSync::GpsTimeSync(KestravaInstanceConfig& config, GpsClock& clock, std::unique_ptr<NmeaByteSource> source,
                         bool threadedReader)
    : config(config),
      clock(clock),
      nmeaReader(std::make_unique<GpsNmeaTimeReader>(config, clock, std::move(source), threadedReader)),
      offsetMeans(makeOffsetMeans()) {}

GpsTimeSync::GpsTimeSync(KestravaInstanceConfig& config)
    : GpsTimeSync(config, realGpsClock(), std::make_unique<SerialNmeaSource>()) {}

GpsTimeSync::~GpsTimeSync() { nmeaReader->stop(); }

void GpsTimeSync::reset() {
    resync = true;
    pulseInterval = 0.0;
    samplesSincePulse = 0.0;
    locked = false;
    expectedSecond = 0;
    haveLastSeen = false;
    lastSeenSecond = 0;
    for (auto& m : offsetMeans) m.restart(0.0, 0.0, 6);
    pendingIndex = 0;
    for (auto& p : pending) p.waiting = false;
    matchCount = 0;
    refineWeight = 1.0;
    lastFarSecond = -1;
    nmeaReader->resetFilters();
}

void GpsTimeSync::start() {
    if (isStarted) return;
    reset();
    isStarted = true;
    nmeaReader->resetFilters();
    nmeaReader->start(config.engine.demodulatorPriority.load(), config.affinityMask);
}

void GpsTimeSync::stop() {
    nmeaReader->stop();
    isStarted = false;
}

double GpsTimeSync::meanOffset() const {
    double sum = 0.0;
    for (const auto& m : offsetMeans) sum += m.warmUp > 0 ? 0.0 : m.mean();
    return 0.125 * sum;
}

bool GpsTimeSync::addPulseOffset(double offset) {
    if (!(offset <= 10.0 && offset >= -10.0)) {
        config.logger.log(1, KestravaLogger::Warning, "Large pulse offset: {}, ignoring pulse", offset);
        return false;
    }
    for (auto& m : offsetMeans) m.add(offset);
    return true;
}

void GpsTimeSync::refinePulseInterval(double sampleRate, double meanInterval, double offset, bool steer) {
    const std::int32_t c = matchCount++;
    if (!steer || c < 7 || c > 30) return;
    pulseInterval = (pulseInterval + refineWeight * (meanInterval + offset) * sampleRate) / (1.0 + refineWeight);
    refineWeight *= 0.9;
}

std::int32_t GpsTimeSync::secondAtPulse(std::int32_t latestSecond, double latestTime, double pulseTime, double delay,
                                        double meanInterval) {
    const double k = std::floor((pulseTime + delay - latestTime) / meanInterval + 0.5);
    if (!std::isfinite(k)) return latestSecond;
    return wrapSecond(static_cast<std::int64_t>(latestSecond) + static_cast<std::int64_t>(std::clamp(k, -1e6, 1e6)));
}

void GpsTimeSync::placeFirstPulse(double end, std::uint32_t count, double rate, double m, double delay, double now) {
    // The next second, less the delay, from the latest stamp's smoothed arrival; a whole number of
    // mean intervals later when that falls before this block.
    const GpsNmeaTimeReader::LatestStamp latest = nmeaReader->latestStamp();
    const double blockStart = now - count / rate;
    double target = latest.time + m - delay;
    if (target < blockStart) target += std::ceil((blockStart - target) / m) * m;
    pulseInterval = std::max(end - (now - target) * rate, end - count);
}

bool GpsTimeSync::process(std::uint32_t count, double rate, float& offsetOut, std::int32_t& stampOut) {
    const double now = static_cast<double>(clock.steadyNs()) / 1e9;
    const double m = nmeaReader->meanInterval();
    if (!(rate > 0.0) || !(m > 0.0) || nmeaReader->latestSecond() < 0 || count == 0) {
        syncStatus.nmeaTimestamps = 0;
        syncStatus.lockState = SyncNone;
        publish();
        return false;
    }
    const double delay = static_cast<double>(static_cast<std::int64_t>(config.engine.gpsUsbDelay.load() * 1000.0f)) / 1000.0;
    const double end = samplesSincePulse + count;
    const double blockStart = end - count;
    if (resync) {
        resync = false;
        placeFirstPulse(end, count, rate, m, delay, now);
    }
    if (pulseInterval > end) {
        samplesSincePulse = end;
        return false;
    }
    if (nmeaReader->takeJumpFlag()) {
        reset();
        syncStatus.nmeaTimestamps = 0;
        syncStatus.lockState = SyncNone;
        publish();
        return false;
    }
    samplesSincePulse = end;
    const std::int32_t s = nmeaReader->latestSecond();
    syncStatus.stampedSecond = static_cast<std::uint32_t>(s);
    // The time of the pulse's own sample: the block ends now.
    auto pulseTime = [&] {
        const double at = std::clamp(pulseInterval, blockStart, end);
        return now - (end - at) / rate;
    };

    bool firstLock = !locked;
    if (locked) {
        const std::int32_t e = expectedSecond;
        const std::int32_t d = dayDistance(s, e);
        if (d > 60) {
            if (s == lastFarSecond) return false;
            config.logger.log(1, KestravaLogger::Error,
                              "GPS pulse: expected {}, received {}, offset more than 60 seconds - switching off until "
                              "good pulses arrive again",
                              e, s);
            reset();
            lastFarSecond = s;
            return false;
        }
        if (d > 1 && !(haveLastSeen && s == lastSeenSecond)) {
            config.logger.log(1, KestravaLogger::Error, "GPS pulses out of sync, expected {}, received {}", e, s);
            reset();
            return false;
        }
    }

    if (firstLock) {
        syncStatus.lockState = SyncNone;
        syncStatus.nmeaTimestamps = 1;
        // The second whose stamp, less the delay, arrives nearest to this pulse.
        const GpsNmeaTimeReader::LatestStamp latest = nmeaReader->latestStamp();
        expectedSecond = secondAtPulse(latest.second, latest.time, pulseTime(), delay, m);
        locked = true;
        for (auto& p : pending) p.waiting = false;
        for (auto& mean : offsetMeans) mean.restart(0.0, 0.0, 5);
    } else {
        syncStatus.nmeaTimestamps = 1;
        syncStatus.lockState = matchCount < 20 ? SyncAcquiring : matchCount < 32 ? SyncConverging : SyncLocked;
    }

    // Stamps of earlier pulses that arrived since.
    haveLastSeen = true;
    lastSeenSecond = s;
    for (int j = 0; j < 4; ++j) {
        PendingPulse& entry = pending[static_cast<std::size_t>((pendingIndex + 1 + j) & 3)];
        StampRecord stamp;
        if (entry.waiting && nmeaReader->takeStamp(entry.second, stamp)) {
            const double offset = stamp.time - entry.emittedAt - delay;
            refinePulseInterval(rate, m, offset, addPulseOffset(offset));
            config.logger.log(1, KestravaLogger::Debug, "Already sent but seen now {} {}", offset, entry.second);
            entry.waiting = false;
        }
    }

    // Place this pulse, within the block, and the next one.
    const double at = std::clamp(pulseInterval, blockStart, end);
    offsetOut = static_cast<float>(at - blockStart);
    samplesSincePulse = end - at;
    const double emittedAt = now - (end - at) / rate;
    const double mean = meanOffset();
    syncStatus.encoderOffset = static_cast<float>(mean);
    if (matchCount < 8 || matchCount >= 32) {
        const double limit = rate * correctionLimit;
        pulseInterval = rate * m + std::clamp(0.0025 * rate * mean, -limit, limit);
    }
    syncStatus.stamperSampleRate = static_cast<float>(rate);

    StampRecord stamp;
    if (nmeaReader->takeStamp(expectedSecond, stamp)) {
        const double offset = stamp.time - delay - emittedAt;
        refinePulseInterval(rate, m, offset, addPulseOffset(offset));
        config.logger.log(1, KestravaLogger::Debug, "Sending out stamp that's already received through NMEA {} {}",
                          offset, stamp.second);
    } else {
        pendingIndex = (pendingIndex + 1) & 3;
        pending[static_cast<std::size_t>(pendingIndex)] = PendingPulse{expectedSecond, emittedAt, true};
        config.logger.log(1, KestravaLogger::Debug, "Sending out stamp that's not yet arrived {}, next expected {}",
                          expectedSecond, wrapSecond(expectedSecond + 1));
    }
    stampOut = expectedSecond;
    expectedSecond = wrapSecond(expectedSecond + 1);
    config.logger.log(1, KestravaLogger::Debug, "Stamped code {}, latest received {}", stampOut,
                      nmeaReader->latestSecond());
    publish();
    return matchCount > 32;
}

void GpsTimeSync::publish() {
    const std::int32_t latest = nmeaReader->latestSecond();
    if (latest >= 0) syncStatus.receivedSecond = static_cast<std::uint32_t>(latest);
    if (auto status = config.getStatus()) {
        status->storeTiming(syncStatus);
    } else {
        config.storeGpsStatus(syncStatus);
    }
}

}  // namespace kestrava::gps
