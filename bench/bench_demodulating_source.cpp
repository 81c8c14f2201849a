// The composite input's whole road into the encoder's ring: one second at 192 kHz handed to the
// input stage in 1024-sample chunks, demodulated on the demodulator thread into records. Items
// are input samples, so items/s over 192,000 is the multiple of real time; the benchmark checks
// after timing that every whole frame became its 3072 records.
#include "audio/demod/DemodulatingAudioSource.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

using kestrava::audio::demod::DemodulatingAudioSource;
using kestrava::audio::demod::MPXD;

namespace {

struct BenchSource : DemodulatingAudioSource {
    using DemodulatingAudioSource::DemodulatingAudioSource;
    void start() override {}
    void stop() override {}
};

void BM_OneSecondThroughTheDemodulatingSource(benchmark::State& state) {
    KestravaInstanceConfig config(192000, 2040);
    std::unique_ptr<BenchSource> source(new BenchSource(nullptr, &config, nullptr));
    std::vector<float> second(192000);
    for (std::size_t i = 0; i < second.size(); ++i) {
        const double t = static_cast<double>(i) / 192000.0;
        second[i] = static_cast<float>(0.09 * std::sin(2.0 * std::numbers::pi * 19000.0 * t) +
                                       0.4 * std::sin(2.0 * std::numbers::pi * 1000.0 * t));
    }
    std::vector<float> chunk(1024);
    std::uint64_t fed = 0;
    for (auto _ : state) {
        for (std::size_t at = 0; at < second.size(); at += 1024) {
            const auto n = static_cast<unsigned>(std::min<std::size_t>(1024, second.size() - at));
            // Faster than real time: wait for room rather than drop input.
            while (source->demodulatorState().inputBuffer().available() + n > MPXD::ringCapacity) {
                std::this_thread::yield();
            }
            std::copy_n(second.begin() + static_cast<std::ptrdiff_t>(at), n, chunk.begin());
            source->feedInput(chunk.data(), n);
        }
        fed += second.size();
        const std::uint64_t frames = (fed - MPXD::frameLength) / MPXD::hop + 1;
        while (source->inputBuffer.getWriteCount() < frames * MPXD::hop) std::this_thread::yield();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(fed));
    const std::uint64_t frames = (fed - MPXD::frameLength) / MPXD::hop + 1;
    if (source->inputBuffer.getWriteCount() != frames * MPXD::hop) state.SkipWithError("records lost");
}
BENCHMARK(BM_OneSecondThroughTheDemodulatingSource)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
