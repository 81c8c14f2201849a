// The encoder's whole chain on one core, from composite samples to protected packets: the
// demodulator, the encode step (both main channels: the encoder's worker is pinned to the same
// core), the transport sender with groups of 64 frames and 4 recovery packets, and stream
// protection. Reported as a multiple of real time (wall clock, one core) and as CPU seconds per
// second of signal summed over the threads, with the process's peak memory.
//
// BM_Quality gives the numbers of the README's quality table: for a codec version and bit rate,
// the signal-to-noise ratio of the coded left and right against the demodulated input after the
// first second (the start-up of the rate control and the demodulator's settling are left out),
// and the bit rate on the wire with IPv4/UDP headers and recovery packets.
#include "app/OfflineChain.h"
#include "audio/soundcard/CompositeTestSignal.h"

#include <benchmark/benchmark.h>

#include <sched.h>
#include <sys/resource.h>

#include <cmath>
#include <ctime>
#include <vector>

using kestrava::audio::soundcard::CompositeTestSignal;

namespace {

constexpr std::uint32_t inputRate = 192000;

const std::vector<float>& testSignal(double seconds) {
    static std::vector<float> signal;
    const auto n = static_cast<std::size_t>(seconds * inputRate);
    if (signal.size() != n) {
        signal.resize(n);
        CompositeTestSignal generator(inputRate);
        generator.generate(signal.data(), n);
    }
    return signal;
}

void pinToOneCore() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set)) {
            CPU_ZERO(&set);
            CPU_SET(cpu, &set);
            sched_setaffinity(0, sizeof set, &set);  // threads started later inherit it
            return;
        }
    }
}

double peakMemoryMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

OfflineChainOptions chainOptions(std::int32_t version, std::int32_t kbps) {
    OfflineChainOptions o;
    o.inputRate = inputRate;
    o.version = version;
    o.kbps = kbps;
    o.groupFrames = 64;
    o.recoveryPackets = 4;
    o.key = std::array<std::uint8_t, 16>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    return o;
}

// CPU time of the whole process, every thread summed.
double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Arguments: codec version, bit rate in kbit/s.
void BM_OfflineChain(benchmark::State& state) {
    pinToOneCore();
    constexpr double seconds = 10.0;
    const std::vector<float>& signal = testSignal(seconds);
    std::uint64_t bytes = 0;
    // Built once: the throughput of a running chain, not its set-up, is what has to keep up.
    OfflineChain chain(chainOptions(static_cast<std::int32_t>(state.range(0)), static_cast<std::int32_t>(state.range(1))));
    chain.onPacket = [&](const std::uint8_t*, std::size_t n) { bytes += n; };
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) chain.feed(signal.data(), signal.size());
    const double cpu = processCpuSeconds() - cpuBefore;
    if (bytes == 0) state.SkipWithError("no packet was sent");
    const double signalSeconds = static_cast<double>(state.iterations()) * seconds;
    state.counters["realtime_x"] = benchmark::Counter(signalSeconds, benchmark::Counter::kIsRate);
    // What limits how many encoders one machine carries, whichever thread spends it.
    state.counters["cpu_s_per_s"] = cpu / signalSeconds;
    state.counters["peak_MB"] = peakMemoryMb();
}

// SNR in dB of the reconstruction against the input over the whole run.
struct Snr {
    double signal = 0.0, noise = 0.0;
    void add(const float* input, const float* coded, std::uint32_t n) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const double d = static_cast<double>(coded[i]) - input[i];
            signal += static_cast<double>(input[i]) * input[i];
            noise += d * d;
        }
    }
    double db() const { return noise > 0.0 ? 10.0 * std::log10(signal / noise) : 999.0; }
};

void BM_Quality(benchmark::State& state) {
    constexpr double seconds = 10.0;
    const std::vector<float>& signal = testSignal(seconds);
    const auto version = static_cast<std::int32_t>(state.range(0));
    const auto kbps = static_cast<std::int32_t>(state.range(1));
    Snr left, right;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        OfflineChainOptions o = chainOptions(version, kbps);
        o.plusMode = state.range(2) != 0;
        OfflineChain chain(o);
        left = right = Snr{};
        bytes = 0;
        std::array<const float*, 3> input{};
        std::uint64_t coded = 0;
        chain.onPacket = [&](const std::uint8_t*, std::size_t n) { bytes += n + 28; };  // with IPv4 and UDP headers
        chain.onInput = [&](const std::array<const float*, 3>& planes, std::uint32_t) { input = planes; };
        chain.onReconstruction = [&](const std::array<const float*, 3>& planes, std::uint32_t n) {
            coded += n;
            if (coded <= 38400) return;
            left.add(input[0], planes[0], n);
            right.add(input[1], planes[1], n);
        };
        chain.feed(signal.data(), signal.size());
    }
    state.counters["snr_left_dB"] = left.db();
    state.counters["snr_right_dB"] = right.db();
    state.counters["wire_kbps"] = static_cast<double>(bytes) * 8.0 / seconds / 1000.0;
}

}  // namespace

// Every version at 320 kbit/s, then version 3 at 576 and 1000 kbit/s: the cost per second of
// signal should hardly depend on the bit rate.
BENCHMARK(BM_OfflineChain)
    ->ArgsProduct({{0, 1, 2, 3}, {320}})
    ->Args({3, 576})
    ->Args({3, 1000})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_Quality)
    ->ArgsProduct({{1, 2, 3}, {320, 400, 576}, {0}})
    ->Args({0, 320, 0})
    ->Args({0, 400, 0})
    ->Args({3, 192, 1})
    ->Args({3, 256, 1})
    ->Args({3, 800, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
