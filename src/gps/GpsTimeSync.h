#pragma once

#include "codec/frame/GpsStamper.h"
#include "gps/ExponentialMean.h"
#include "gps/GpsClock.h"
#include "gps/GpsNmeaTimeReader.h"
#include "logging/GpsSyncStatus.h"

#include <array>
#include <cstdint>
#include <memory>

class KestravaInstanceConfig;

namespace kestrava::gps {

enum GpsSyncState : std::int32_t { SyncNone = 0, SyncLocked = 1, SyncAcquiring = 2, SyncConverging = 4 };

// The encoder side of GPS time stamping. It keeps one pulse per GPS second in the input sample
// stream, spaced by the measured input rate times the reader's mean interval, and matches each
// pulse with the NMEA stamp of its second; the difference between the pulse's own sample time
// and the stamp's smoothed arrival (less the configured reception delay) steers the spacing.
// Called once per encoded block on the encoder thread.
class GpsTimeSync final : public kestrava::codec::frame::GpsStamper {
public:
    static constexpr double correctionLimit = 1.0 / 19000.0;  // seconds of steering per pulse
    static constexpr int offsetMeanCount = 8;

    // threadedReader: the reader reads its device on a thread of its own; otherwise the owner
    // feeds it through reader().feed().
    GpsTimeSync(KestravaInstanceConfig& config, GpsClock& clock, std::unique_ptr<NmeaByteSource> source,
                bool threadedReader = true);
    // The serial device and the real clock.
    explicit GpsTimeSync(KestravaInstanceConfig& config);
    ~GpsTimeSync() override;

    bool started() const override { return isStarted; }
    void start() override;
    void stop() override;
    bool process(std::uint32_t count, double measuredRate, float& offset, std::int32_t& second) override;

    // Back to the start: the next block that has its inputs places a first pulse afresh.
    void reset() override;
    // False (and a warning) for an offset beyond +-10 s, which the means never see.
    bool addPulseOffset(double offset);
    // Counts a match; from the 8th to the 31st it refines the spacing towards (m + offset).
    void refinePulseInterval(double sampleRate, double meanInterval, double offset, bool steer = true);

    // The second a pulse stands for: the one whose stamp, less the delay, arrives nearest to the
    // pulse's own time, counted from the latest stamp in mean intervals.
    static std::int32_t secondAtPulse(std::int32_t latestSecond, double latestTime, double pulseTime, double delay,
                                      double meanInterval);

    GpsNmeaTimeReader& reader() { return *nmeaReader; }
    const GpsSyncStatus& status() const { return syncStatus; }
    std::int32_t matches() const { return matchCount; }
    double interval() const { return pulseInterval; }
    double meanOffset() const;

private:
    struct PendingPulse {
        std::int32_t second = 0;
        double emittedAt = 0.0;  // the pulse's sample time on the steady clock, seconds
        bool waiting = false;
    };

    static std::array<ExponentialMean, offsetMeanCount> makeOffsetMeans();
    void placeFirstPulse(double end, std::uint32_t count, double rate, double m, double delay, double now);
    void publish();

    KestravaInstanceConfig& config;
    GpsClock& clock;
    std::unique_ptr<GpsNmeaTimeReader> nmeaReader;
    bool isStarted = false;
    bool resync = true;
    double pulseInterval = 0.0;
    double samplesSincePulse = 0.0;
    bool locked = false;
    std::int32_t expectedSecond = 0;
    bool haveLastSeen = false;
    std::int32_t lastSeenSecond = 0;
    std::array<ExponentialMean, offsetMeanCount> offsetMeans;
    std::array<PendingPulse, 4> pending{};
    int pendingIndex = 0;
    std::int32_t matchCount = 0;
    double refineWeight = 1.0;
    std::int32_t lastFarSecond = -1;
    GpsSyncStatus syncStatus;
};

}  // namespace kestrava::gps
