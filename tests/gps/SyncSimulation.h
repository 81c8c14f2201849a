#pragma once

#include "GpsTestSupport.h"
#include "gps/GpsTimeSync.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gpstest {

// The synchroniser fed block by block as the encode step feeds it, on a virtual clock that
// stands at the end of each block, with an NMEA receiver that sends one RMC sentence per second:
// burst k arrives at phase + k seconds and carries second (first + k) of the day.
struct SyncSimulation {
    struct Pulse {
        std::int64_t sample = 0;  // the pulse's place in the input stream
        double position = 0.0;    // its exact place (block start + offset)
        std::int32_t second = 0;
        bool stamped = false;
        std::int32_t matches = 0;  // after the pulse was handled
        std::int32_t lockState = 0;
    };

    SyncSimulation(std::int32_t rate, std::uint32_t block, double phase, std::int32_t first, float delay = 0.0f)
        : rate(rate), block(block), phase(phase), first(first) {
        log.config.engine.gpsUsbDelay = delay;
        sync.start();
    }

    std::int64_t nowNs() const { return samples * 1'000'000'000 / rate; }
    std::int64_t arrivalNs(std::int64_t k) const {
        return static_cast<std::int64_t>(phase * 1e9 + 0.5) + k * 1'000'000'000;
    }
    std::int32_t secondOf(std::int64_t k) const { return static_cast<std::int32_t>((first + k) % 86400); }

    void step() {
        samples += block;
        const std::int64_t now = nowNs();
        while (arrivalNs(nextBurst) <= now) {
            if (sending) {
                const std::string s = rmc((secondOf(nextBurst) + jump) % 86400);
                sync.reader().feed(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), arrivalNs(nextBurst));
            }
            ++nextBurst;
        }
        clock.ns = now;
        float offset = -1.0f;
        std::int32_t second = 0;
        const bool stamped = sync.process(block, rate, offset, second);
        if (offset >= 0.0f) {
            const std::int64_t start = samples - block;
            pulses.push_back(Pulse{start, static_cast<double>(start) + offset, second, stamped, sync.matches(),
                                   log.config.gpsStatus().lockState});
        }
    }
    void runSeconds(double seconds) {
        const std::int64_t end = samples + static_cast<std::int64_t>(seconds * rate);
        while (samples < end) step();
    }
    // Where second s of the receiver begins in the stream, less the delay, in input samples.
    double expectedPosition(std::int32_t second) const {
        const std::int64_t k = ((second - first) % 86400 + 86400) % 86400;
        const double delay = static_cast<double>(static_cast<std::int64_t>(log.config.engine.gpsUsbDelay.load() * 1000.0f)) / 1000.0;
        return (static_cast<double>(arrivalNs(k)) / 1e9 - delay) * rate;
    }

    const std::int64_t rate;
    const std::uint32_t block;
    const double phase;
    const std::int32_t first;
    bool sending = true;
    std::int32_t jump = 0;  // added to the seconds the receiver sends
    std::int64_t samples = 0;
    std::int64_t nextBurst = 0;
    std::vector<Pulse> pulses;

    LoggedGpsConfig log;
    FakeClock clock;
    kestrava::gps::GpsTimeSync sync{log.config, clock, nullptr, false};
};

}  // namespace gpstest
