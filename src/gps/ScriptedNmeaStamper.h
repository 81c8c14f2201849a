#pragma once

#include "codec/frame/GpsStamper.h"
#include "gps/GpsClock.h"
#include "gps/GpsTimeSync.h"
#include "gps/NmeaScript.h"

#include <atomic>
#include <cstdint>
#include <optional>

class KestravaInstanceConfig;

namespace kestrava::gps {

// The synchroniser for a stream coded without threads (the offline chain): time is the number of
// input samples handed to process() at the nominal rate, and the NMEA reads that have arrived by
// the end of each block are fed to the reader before the block is stamped.
class ScriptedNmeaStamper final : public kestrava::codec::frame::GpsStamper {
public:
    ScriptedNmeaStamper(KestravaInstanceConfig& config, std::uint32_t inputRate, NmeaScript script);
    ScriptedNmeaStamper(KestravaInstanceConfig& config, std::uint32_t inputRate, SyntheticNmea synthetic);

    bool started() const override { return sync.started(); }
    void start() override { sync.start(); }
    void stop() override { sync.stop(); }
    void reset() override { sync.reset(); }
    // The measured rate is not used: the stream runs at exactly the nominal rate.
    bool process(std::uint32_t count, double measuredRate, float& offset, std::int32_t& second) override;

    GpsTimeSync& synchroniser() { return sync; }

private:
    class VirtualClock final : public GpsClock {
    public:
        std::int64_t steadyNs() override { return ns; }
        std::int64_t utcSeconds() override { return ns / 1'000'000'000; }
        void sleepMs(int milliseconds) override { ns += std::int64_t{milliseconds} * 1'000'000; }
        std::int64_t ns = 0;
    };

    bool nextRead(NmeaRead& out);

    const std::uint32_t rate;
    std::int64_t samples = 0;
    std::size_t nextScripted = 0;
    std::int64_t nextSynthetic = 0;
    NmeaScript script;
    std::optional<SyntheticNmea> synthetic;
    VirtualClock clock;
    GpsTimeSync sync;
};

}  // namespace kestrava::gps
