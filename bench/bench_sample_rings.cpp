// The input side's per-block costs on the real-time threads: a record frame through the
// audio source's ring (demodulator writes 3072, feed thread reads a block of 2040), a composite
// frame through a float ring, and one 1024-sample push into a sample history. Items are samples;
// each benchmark checks after timing that the data arrived intact.
#include "audio/InterfaceSampleHook.h"
#include "audio/OldSamples.h"
#include "audio/SampleFifo.h"
#include "platform/AlignedNew.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using kestrava::audio::DemodulatedSample;
using kestrava::audio::InterfaceSampleHook;
using kestrava::audio::OldSamples;
using kestrava::audio::SampleFifo;

namespace {

void BM_FrameRingWriteAndRead(benchmark::State& state) {
    KestravaInstanceConfig config(192000, 2040);
    auto ring = std::make_unique<SampleFifo<DemodulatedSample, 192000>>("AudioSource.inputBuffer", &config);
    std::vector<DemodulatedSample> in(3072), out(3072);
    for (std::size_t i = 0; i < in.size(); ++i) in[i].left = static_cast<float>(i);
    std::size_t checked = 0;
    for (auto _ : state) {
        ring->write(in.data(), 3072);
        while (ring->available() >= 2040) checked += ring->readSliding(out.data(), 2040, 2040);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 3072);
    if (checked + ring->available() != static_cast<std::size_t>(state.iterations()) * 3072) {
        state.SkipWithError("records lost");
    }
}
BENCHMARK(BM_FrameRingWriteAndRead);

void BM_FloatRingOverlapAddAndRead(benchmark::State& state) {
    KestravaInstanceConfig config(192000, 2040);
    auto ring = std::make_unique<SampleFifo<float, 192000>>("MPXD.leftReconstructionBuffer", &config);
    std::vector<float> frame(4096, 0.5f), out(3072);
    for (auto _ : state) {
        ring->writeOverlapped(frame.data(), 4096, 3072);
        ring->readSliding(out.data(), 3072, 3072);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 3072);
    // From the second frame on, the first 1024 published samples are two halves added.
    if (state.iterations() > 1 && out[0] != 1.0f) state.SkipWithError("overlap-add wrong");
}
BENCHMARK(BM_FloatRingOverlapAddAndRead);

void BM_HistoryPush(benchmark::State& state) {
    auto history = kestrava::makeAligned<OldSamples>(true);
    InterfaceSampleHook hook(history);
    std::vector<float> block(1024, 0.25f);
    for (auto _ : state) hook.push(block.data(), 1024);
    state.SetItemsProcessed(state.iterations() * 1024);
    if (history->slot(0) != 8192.0f) state.SkipWithError("samples not stored");
}
BENCHMARK(BM_HistoryPush);

}  // namespace
