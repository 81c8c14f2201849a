// The display redraws one "/update" request pays for: a forced 2048-column trace of 10 s at
// 192 kHz (1.92 million samples copied and drawn), and one 8192-point spectrum of the input.
// The browser polls about every 50-100 ms; both should stay well under 5 ms on one core.
#include "audio/OldSamples.h"
#include "params/DisplayCanvas.h"
#include "params/PMpx.h"
#include "params/PWave.h"
#include "params/ParamTable.h"
#include "params/WidgetUpdate.h"
#include "platform/AlignedNew.h"
#include "platform/RealFft.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

using namespace kestrava::params;

constexpr float rate = 192000.0f;
constexpr int view = 3;

std::shared_ptr<OldSamples> historyOf(std::int32_t room, std::int32_t samples) {
    auto history = kestrava::makeAligned<OldSamples>(true);
    history->storedRate.store(rate);
    history->requestSize(room);
    std::vector<float> block(4096);
    long index = 0;
    for (std::int32_t done = 0; done < samples; done += static_cast<std::int32_t>(block.size())) {
        for (float& s : block) s = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 19000.0 * index++ / rate));
        history->append(block.data(), static_cast<std::int32_t>(block.size()));
        history->captureView(view);
    }
    return history;
}

// Fails the benchmark unless the reply holds `columns` columns of `wordsPerColumn` words.
void check(benchmark::State& state, const WordWriter& out, std::size_t headerWords, int columns, int wordsPerColumn) {
    const std::size_t expected = 6 + headerWords + static_cast<std::size_t>(columns) * wordsPerColumn;
    if (out.size() != expected) state.SkipWithError("the reply does not hold every column");
}

void traceRedraw(benchmark::State& state) {
    ParamTable owner;
    auto history = historyOf(65536 + 1920000 + 100000, 2100000);
    PWave wave(owner, 4, kestrava::OUTPUT_FM_WAVE, 17, history.get(), nullptr, 10.0f, true, false);
    wave.updateViewFlags();
    DisplayCanvas canvas;
    const std::vector<std::int32_t> group{static_cast<std::int32_t>(wave.id()) | (1 << 16), 2048, 400};
    WordWriter out;
    for (auto _ : state) {
        out.clear();
        applyWidgetUpdate(wave, RequestContext{view, &canvas}, group, out);
        benchmark::DoNotOptimize(out.data().data());
    }
    check(state, out, 7, 2048, 8);
    state.counters["samples/s"] = benchmark::Counter(1920000.0 * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(traceRedraw)->Unit(benchmark::kMillisecond);

// The drawing alone, both ways, over the same 10 s of a 19 kHz sine: by cells (what a long span
// takes) and point by point (the picture both must give).
void traceDrawing(benchmark::State& state) {
    const std::int32_t n = 1920000;
    std::vector<float> samples(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i)
        samples[static_cast<std::size_t>(i)] =
            static_cast<float>(16384.0 * std::sin(2.0 * std::numbers::pi * 19000.0 * i / rate));
    DisplayCanvas canvas;
    for (auto _ : state) {
        if (state.range(0) != 0)
            canvas.drawWaveByCell(2048, 400, n, 0, samples.data());
        else
            canvas.drawWaveStepwise(2048, 400, n, 0, samples.data());
        benchmark::DoNotOptimize(canvas.bandTop[1].data());
    }
}
BENCHMARK(traceDrawing)->ArgName("byCell")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void spectrum(benchmark::State& state) {
    kestrava::RealFft::prepare();
    ParamTable owner;
    auto history = historyOf(0, 40000);
    PMpx mpx(owner, 4, kestrava::OUTPUT_FM_MPX, history.get());
    mpx.updateViewFlags();
    DisplayCanvas canvas;
    const std::vector<std::int32_t> group{static_cast<std::int32_t>(mpx.id()) | (1 << 16), 1024, 400};
    WordWriter out;
    for (auto _ : state) {
        out.clear();
        applyWidgetUpdate(mpx, RequestContext{view, &canvas}, group, out);
        benchmark::DoNotOptimize(out.data().data());
    }
    check(state, out, 2, 1024, 6);
}
BENCHMARK(spectrum)->Unit(benchmark::kMillisecond);

}  // namespace
