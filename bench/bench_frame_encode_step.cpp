// One block through the encode step (records to frame, recording sender): a block of 2040 records
// arrives every 10.625 ms at 192 kHz, and the step must finish well within that.
#include "audio/BlockView.h"
#include "codec/frame/FrameEncodeStep.h"
#include "codec/frame/FrameSender.h"
#include "logging/KestravaInstanceConfig.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

using kestrava::codec::frame::FrameEncodeStep;
using kestrava::codec::frame::FrameSender;

namespace {

struct CountingSender : FrameSender {
    std::uint64_t bytes = 0;
    std::uint32_t sendFrame(const std::uint8_t*, std::int32_t, std::uint32_t frameLength, std::uint32_t, bool, bool,
                            bool, bool, bool, float, std::int32_t, float) override {
        bytes += frameLength;
        return frameLength + 20;
    }
};

void BM_EncodeStep(benchmark::State& state) {
    KestravaInstanceConfig config(192000, 2040);
    config.values.inputSampleRate = 192000;
    config.engine.codecVersion = static_cast<std::int32_t>(state.range(0));
    SourceSignals signals;
    CountingSender sender;
    std::unique_ptr<FrameEncodeStep> step(new FrameEncodeStep(&config, &sender));
    std::vector<DemodulatedSample> records(2040);
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    std::uint64_t position = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& r : records) {
            const double t = static_cast<double>(position++) / 192000.0;
            r.left = static_cast<float>(0.3 * std::sin(2 * M_PI * 440 * t)) + noise(random);
            r.right = noise(random);
            r.quad = 0.1f * noise(random);
            r.mpx = r.left;
        }
        BlockView block;
        block.records = records.data();
        block.count = 2040;
        block.inputRate = 192000;
        block.signals = &signals;
        state.ResumeTiming();
        benchmark::DoNotOptimize(step->encodeAndSendBlock(block));
    }
    if (sender.bytes == 0) state.SkipWithError("no frame was sent");
    state.counters["realtime_x"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 0.010625, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_EncodeStep)->Arg(0)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);
