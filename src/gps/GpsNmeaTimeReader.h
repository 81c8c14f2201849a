#pragma once

#include "gps/ExponentialMean.h"
#include "gps/GpsClock.h"
#include "gps/NmeaByteSource.h"
#include "gps/NmeaFramer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class KestravaInstanceConfig;

namespace kestrava::gps {

// One published stamp: the second of the UTC day and the smoothed arrival of that second on the
// steady clock, in seconds.
struct StampRecord {
    bool valid = false;
    std::int32_t second = 0;
    double time = 0.0;
};

enum class GpsReaderMode : std::int32_t { None = 0, NmeaDevice = 1, SystemClock = 2 };

// Device selections of the settings: the system clock, the named device, else a port number.
inline constexpr std::int32_t selectSystemClock = -2;
inline constexpr std::int32_t selectNamedDevice = -1;

// The device a selection stands for: port n (from 1) is /dev/ttyS<n-1>; the named device as given.
std::string nmeaDevicePath(std::int32_t selection, const std::string& name);

// Reads the UTC second of the day from an NMEA receiver (or from the system clock shifted by the
// configured offset) on a thread of its own, smooths the arrival times of the seconds, and
// publishes each stamp in a ring of four that the synchroniser consumes on the encoder thread.
// Each burst of sentences (less than 0.15 s apart) gives at most one stamp: its first sentence
// of a known head that passes its checksum and carries a valid time.
class GpsNmeaTimeReader {
public:
    struct LatestStamp {
        std::int32_t second = -1;  // -1: none yet
        std::int64_t arrivalNs = 0;
        double time = 0.0;         // smoothed arrival, seconds
    };

    // threaded: start() runs the reader on a thread; otherwise the owner feeds it (feed()).
    GpsNmeaTimeReader(KestravaInstanceConfig& config, GpsClock& clock, std::unique_ptr<NmeaByteSource> source,
                      bool threaded = true);
    virtual ~GpsNmeaTimeReader();
    GpsNmeaTimeReader(const GpsNmeaTimeReader&) = delete;
    GpsNmeaTimeReader& operator=(const GpsNmeaTimeReader&) = delete;

    void start(int priority, std::uint64_t affinityMask);
    // Clears the running flag, joins the thread and closes the device.
    void stop();
    bool isRunning() const { return running.load(); }

    // The reader thread's steps. Tests (and an owner without a thread) call them directly.
    void openDevice();  // opens the source the settings name; a failure is retried every second
    void closeDevice();
    void pass();        // one pass of the thread's loop
    void feed(const std::uint8_t* data, std::size_t count, std::int64_t nowNs);  // bytes of one read
    bool systemClockStep();  // true when a new stamp was published

    // Encoder thread.
    bool takeStamp(std::int32_t second, StampRecord& out);
    std::int32_t latestSecond() const { return latest.load(std::memory_order_acquire); }
    LatestStamp latestStamp() const;
    double meanInterval() const { return publishedMean.load(std::memory_order_acquire); }
    std::int64_t lastArrival() const { return lastArrivalNs.load(std::memory_order_acquire); }
    bool takeJumpFlag() { return jumped.exchange(false); }
    // The estimators start over: no mean interval until six in-range intervals have been seen.
    void resetFilters();

    GpsReaderMode mode() const { return currentMode; }
    const std::string& deviceInForce() const { return nameInForce; }

private:
    void run();
    void tryOpen();
    bool settingsChanged() const;
    void readFailed(const NmeaByteSource::ReadResult& r);
    void accept(std::int32_t second, std::int64_t arrivalNs, bool fromSystemClock);
    void checkClockOffset(std::int64_t arrivalNs);

    KestravaInstanceConfig& config;
    GpsClock& clock;
    std::unique_ptr<NmeaByteSource> source;
    const bool threaded;
    std::atomic<bool> running{false};
    std::thread thread;

    // Settings in force since the last open.
    GpsReaderMode currentMode = GpsReaderMode::None;
    std::int32_t selection = 0;
    std::int32_t baudRate = 0;
    float clockOffset = 0.0f;
    std::string nameInForce;
    bool reportOpenFailure = true;
    bool readFailureReported = false;
    std::int64_t retryAtNs = 0;

    NmeaFramer framer;
    std::uint64_t publishedBurst = 0;
    bool haveSystemSecond = false;
    std::int32_t lastSystemSecond = 0;
    std::int64_t systemSecondChange = 0;
    bool haveSystemStamp = false;
    std::int32_t systemStamp = 0;

    // Shared with the encoder thread.
    mutable std::mutex mutex;
    ExponentialMean intervalMean{0.999, 0.001};
    ExponentialMean intervalMeanSlow{0.9999, 0.0001};
    ExponentialMean deviationMean{0.999, 0.001};
    bool reanchor = true;
    bool havePreviousSecond = false;
    std::int32_t previousSecond = 0;
    bool havePreviousArrival = false;
    std::int64_t previousArrival = 0;
    double smoothedTime = 0.0;
    double predictedTime = 0.0;
    std::array<StampRecord, 4> ring{};
    int writeIndex = 0;
    int readIndex = 0;
    LatestStamp latestRecord;
    std::atomic<std::int32_t> latest{-1};
    std::atomic<std::int64_t> lastArrivalNs{0};
    std::atomic<double> publishedMean{0.0};
    std::atomic<bool> jumped{false};
};

}  // namespace kestrava::gps
