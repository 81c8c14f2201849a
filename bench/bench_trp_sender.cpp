// Transport sender speed: frames through header packing, queueing and redundancy groups per
// second, as a multiple of real time (192,000 samples per second in frames of 2040 samples is
// about 94 frames per second). Arguments: payload bytes, k, m (k = 0: redundancy off). The sink
// copies each packet as the UDP output's queue would; the packet count is checked after timing.
#include "logging/KestravaInstanceConfig.h"
#include "transport/TRPSender.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace TRP = kestrava::transport::TRP;
using kestrava::transport::TRPSender;

namespace {

class CopyingSink final : public TRP::PacketSink {
public:
    void enqueue(const std::uint8_t* data, std::uint32_t length, TRP::Priority priority) override {
        std::memcpy(slot, data, length < sizeof slot ? length : sizeof slot);
        ++(priority == TRP::Priority::Frame ? frames : recovery);
    }
    std::uint64_t frames = 0, recovery = 0;

private:
    std::uint8_t slot[2048];
};

void BM_SendFrame(benchmark::State& state) {
    const auto payloadBytes = static_cast<std::uint32_t>(state.range(0));
    const auto k = static_cast<std::int32_t>(state.range(1));
    const auto m = static_cast<std::int32_t>(state.range(2));
    KestravaInstanceConfig config(192000, 2040);
    config.engine.redundancyDelay = k;
    config.engine.redundancyOverhead = m;
    CopyingSink sink;
    TRPSender sender(&config, sink, [] { return 1u; });
    std::vector<std::uint8_t> payload(payloadBytes);
    std::mt19937 rng(1);
    for (auto& b : payload) b = static_cast<std::uint8_t>(rng());

    for (auto _ : state) {
        benchmark::DoNotOptimize(sender.sendFrame(payload.data(), 3, payloadBytes, 2040, false, true, false, true,
                                                  true, 100.0f, 43200, 0.5f));
    }
    const std::uint64_t n = static_cast<std::uint64_t>(state.iterations());
    const std::uint64_t expectedRecovery =
        k > 0 ? n / static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(m) : 0;
    if (sink.frames != n || sink.recovery != expectedRecovery) state.SkipWithError("unexpected packet count");
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsRate);
    state.counters["x realtime"] =
        benchmark::Counter(static_cast<double>(n) * 2040.0 / 192000.0, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_SendFrame)
    ->Args({420, 0, 0})
    ->Args({420, 10, 3})
    ->Args({420, 50, 10})
    ->Args({1800, 10, 3})
    ->Args({1800, 100, 30});
