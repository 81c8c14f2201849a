// The codec core's per-sample predictor updates and the per-block pre-filter, in the generic and the
// AVX2 build, as multiples of real time for one channel at 38,400 samples/s ("x_real_time", shown
// as seconds of audio per second).
// Each benchmark checks afterwards that its build gives the generic build's bits.
#include "codec/BackwardLpc11.h"
#include "codec/BackwardLpc16.h"
#include "codec/BackwardLpc3.h"
#include "codec/BackwardLpc5.h"
#include "codec/CodecKernels.h"
#include "codec/PreFilter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using kestrava::codec::BackwardLpc11;
using kestrava::codec::BackwardLpc16;
using kestrava::codec::BackwardLpc3;
using kestrava::codec::BackwardLpc5;
using kestrava::codec::ChannelHistory;
using kestrava::codec::CodecKernels;
using kestrava::codec::PreFilter;
using kestrava::codec::avx2CodecKernels;
using kestrava::codec::genericCodecKernels;

namespace {

constexpr double codecRate = 38400.0;

const CodecKernels* kernelsFor(bool avx2) { return avx2 ? avx2CodecKernels() : &genericCodecKernels(); }

// A low-pass noise signal, reconstruction-like.
const std::vector<double>& signal() {
    static const std::vector<double> s = [] {
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, 0.05);
        std::vector<double> v(8192);
        double y = 0.0;
        for (double& x : v) x = y = 0.97 * y + noise(random);
        return v;
    }();
    return s;
}

template <class T>
void push(ChannelHistory<T>& h, std::uint32_t ring, std::uint32_t i, bool filling) {
    h.samples[h.writePos] = static_cast<T>(signal()[i & 8191]);
    h.writePos = (h.writePos + 1) % ring;
    if (!filling) ++h.fillCount;
}

void reportRealTime(benchmark::State& state, double samplesPerIteration) {
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * samplesPerIteration / codecRate, benchmark::Counter::kIsRate);
}

// `filling`: the count stays below a full frame (the samples right after a reset).
template <class Predictor, class T>
void BM_Update(benchmark::State& state, bool avx2, std::uint32_t ring, std::uint32_t fill, bool filling) {
    const CodecKernels* kernels = kernelsFor(avx2);
    if (kernels == nullptr) {
        state.SkipWithError("no AVX2 on this processor");
        return;
    }
    auto lpc = std::make_unique<Predictor>();
    auto history = std::make_unique<ChannelHistory<T>>();
    std::uint32_t i = 0;
    for (; i < fill; ++i) push(*history, ring, i, false);
    // Keep the starting point for the check below.
    auto checkLpc = std::make_unique<Predictor>(*lpc);
    auto checkHistory = std::make_unique<ChannelHistory<T>>(*history);
    const std::uint32_t start = i;

    for (auto _ : state) {
        lpc->update(*history, *kernels);
        benchmark::DoNotOptimize(lpc->coefTable);
        push(*history, ring, i++, filling);
    }
    reportRealTime(state, 1.0);

    auto reference = std::make_unique<Predictor>(*checkLpc);
    auto referenceHistory = std::make_unique<ChannelHistory<T>>(*checkHistory);
    for (std::uint32_t j = start; j < start + 512; ++j) {
        checkLpc->update(*checkHistory, *kernels);
        reference->update(*referenceHistory, genericCodecKernels());
        if (std::memcmp(checkLpc->coefTable, reference->coefTable, sizeof reference->coefTable) != 0) {
            state.SkipWithError("build differs from the generic build");
            return;
        }
        push(*checkHistory, ring, j, filling);
        push(*referenceHistory, ring, j, filling);
    }
}

void BM_PreFilter(benchmark::State& state, bool avx2) {
    const CodecKernels* kernels = kernelsFor(avx2);
    if (kernels == nullptr) {
        state.SkipWithError("no AVX2 on this processor");
        return;
    }
    constexpr std::uint32_t block = 408;
    std::vector<float> input(block), samples(block);
    for (std::uint32_t i = 0; i < block; ++i) input[i] = static_cast<float>(std::sin(i * 0.9) * 0.5 + signal()[i]);
    PreFilter filter;
    for (auto _ : state) {
        std::memcpy(samples.data(), input.data(), block * sizeof(float));
        filter.process(samples.data(), block, *kernels);
        benchmark::DoNotOptimize(samples.data());
    }
    reportRealTime(state, block);

    PreFilter a, b;
    std::vector<float> sa = input, sb = input;
    a.process(sa.data(), block, *kernels);
    b.process(sb.data(), block, genericCodecKernels());
    if (std::memcmp(sa.data(), sb.data(), block * sizeof(float)) != 0) state.SkipWithError("build differs from the generic build");
}

void BM_Lpc16(benchmark::State& state, bool avx2) { BM_Update<BackwardLpc16, double>(state, avx2, 128, 200, false); }
void BM_Lpc11(benchmark::State& state, bool avx2) { BM_Update<BackwardLpc11, float>(state, avx2, 320, 400, false); }
void BM_Lpc11Filling(benchmark::State& state, bool avx2) { BM_Update<BackwardLpc11, float>(state, avx2, 320, 300, true); }
void BM_Lpc5(benchmark::State& state, bool avx2) { BM_Update<BackwardLpc5, double>(state, avx2, 64, 100, false); }
void BM_Lpc3(benchmark::State& state, bool avx2) { BM_Update<BackwardLpc3, float>(state, avx2, 32, 50, false); }

}  // namespace

BENCHMARK_CAPTURE(BM_Lpc16, generic, false);
BENCHMARK_CAPTURE(BM_Lpc16, avx2, true);
BENCHMARK_CAPTURE(BM_Lpc11, generic, false);
BENCHMARK_CAPTURE(BM_Lpc11, avx2, true);
BENCHMARK_CAPTURE(BM_Lpc11Filling, generic, false);
BENCHMARK_CAPTURE(BM_Lpc11Filling, avx2, true);
BENCHMARK_CAPTURE(BM_Lpc5, generic, false);
BENCHMARK_CAPTURE(BM_Lpc5, avx2, true);
BENCHMARK_CAPTURE(BM_Lpc3, generic, false);
BENCHMARK_CAPTURE(BM_Lpc3, avx2, true);
BENCHMARK_CAPTURE(BM_PreFilter, generic, false);
BENCHMARK_CAPTURE(BM_PreFilter, avx2, true);
