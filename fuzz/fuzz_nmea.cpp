// NMEA bytes come from a serial device that anything may be plugged into: any byte stream must
// give stamps or be skipped, never a crash. The input is parsed as one sentence, then fed to the
// reader in reads of varying size and timing.
#include "gps/GpsClock.h"
#include "gps/GpsNmeaTimeReader.h"
#include "gps/NmeaSentence.h"
#include "logging/KestravaInstanceConfig.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

class StillClock final : public kestrava::gps::GpsClock {
public:
    std::int64_t steadyNs() override { return 0; }
    std::int64_t utcSeconds() override { return 0; }
    void sleepMs(int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static KestravaInstanceConfig config(192000, 2040);
    static StillClock clock;

    const auto parsed = kestrava::gps::parseNmeaSentence(std::string_view(reinterpret_cast<const char*>(data), size));
    if (parsed && (parsed->second < 0 || parsed->second >= 86400 || parsed->typeIndex < 0 || parsed->typeIndex > 11)) {
        __builtin_trap();
    }

    kestrava::gps::GpsNmeaTimeReader reader(config, clock, nullptr, false);
    std::int64_t now = 1'000'000'000;
    std::size_t i = 0;
    while (i < size) {
        // Each read: its length and the time since the last one come from the input itself.
        const std::size_t length = 1 + data[i] % 64;
        now += std::int64_t{data[i]} * 8'000'000;
        const std::size_t n = length < size - i ? length : size - i;
        reader.feed(data + i, n, now);
        i += n;
    }
    kestrava::gps::StampRecord out;
    const std::int32_t latest = reader.latestSecond();
    if (latest >= 0) (void)reader.takeStamp(latest, out);
    return 0;
}
