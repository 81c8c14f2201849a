// Coding one block (2040 records at 192 kHz: 408 samples per channel at 38,400/s) with the encoder of
// each codec version, rate control included, in the generic and the AVX2 build, as a multiple of real
// time ("x_real_time": seconds of audio per wall-clock second; the worker thread codes in parallel). Afterwards each build's codes of a fixed run are
// checked against the generic build's.
#include "codec/CodecSession.h"
#include "logging/KestravaInstanceConfig.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

using kestrava::codec::CodecSession;
using kestrava::codec::EncoderKernels;
using kestrava::codec::avx2EncoderKernels;
using kestrava::codec::genericEncoderKernels;

namespace {

constexpr std::uint32_t stride = 8192;
constexpr std::uint32_t blockLength = 408;
constexpr double blockSeconds = 2040.0 / 192000.0;

struct Buffers {
    std::vector<float> planes = std::vector<float>(3 * stride);
    std::vector<float> input = std::vector<float>(3 * stride);
    std::vector<std::int32_t> codes = std::vector<std::int32_t>(3 * stride);
    std::vector<float> reconstruction = std::vector<float>(3 * stride);

    Buffers() {
        std::mt19937 random(11);
        std::normal_distribution<float> noise(0.0f, 0.05f);
        for (int c = 0; c < 3; ++c) {
            float y = 0.0f;
            for (std::uint32_t i = 0; i < blockLength; ++i) {
                y = 0.9f * y + noise(random);
                input[c * stride + i] = y + 0.3f * static_cast<float>(std::sin(0.16 * i + c));
            }
        }
    }
};

const EncoderKernels* kernelsFor(bool avx2) { return avx2 ? avx2EncoderKernels() : &genericEncoderKernels(); }

// Codes `blocks` blocks of the fixed input and returns all codes.
std::vector<std::int32_t> run(KestravaInstanceConfig& config, int version, const EncoderKernels& kernels, int blocks) {
    CodecSession session(&config, {version, 384, false, false, 1, 0}, kernels);
    Buffers b;
    std::vector<std::int32_t> all;
    for (int k = 0; k < blocks; ++k) {
        b.planes = b.input;
        const auto coded = session.code(b.planes.data(), b.codes.data(), blockLength, b.reconstruction.data());
        session.rateUpdate(blockLength, CodecSession::estimatedFrameBytes(b.codes.data(), blockLength, coded.thirdSilent != 0),
                           coded);
        all.insert(all.end(), b.codes.begin(), b.codes.end());
    }
    return all;
}

void BM_EncodeBlock(benchmark::State& state, int version, bool avx2) {
    const EncoderKernels* kernels = kernelsFor(avx2);
    if (kernels == nullptr) {
        state.SkipWithError("no AVX2 on this processor");
        return;
    }
    KestravaInstanceConfig config{192000, 2040};
    CodecSession session(&config, {version, 384, false, false, 1, 0}, *kernels);
    Buffers b;
    for (auto _ : state) {
        b.planes = b.input;
        const auto coded = session.code(b.planes.data(), b.codes.data(), blockLength, b.reconstruction.data());
        session.rateUpdate(blockLength, CodecSession::estimatedFrameBytes(b.codes.data(), blockLength, coded.thirdSilent != 0),
                           coded);
        benchmark::DoNotOptimize(b.codes.data());
    }
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * blockSeconds, benchmark::Counter::kIsRate);
    if (avx2 && run(config, version, *kernels, 4) != run(config, version, genericEncoderKernels(), 4)) {
        state.SkipWithError("build differs from the generic build");
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_EncodeBlock, v0_generic, 0, false)->UseRealTime();
BENCHMARK_CAPTURE(BM_EncodeBlock, v0_avx2, 0, true)->UseRealTime();
BENCHMARK_CAPTURE(BM_EncodeBlock, v1_generic, 1, false)->UseRealTime();
BENCHMARK_CAPTURE(BM_EncodeBlock, v1_avx2, 1, true)->UseRealTime();
BENCHMARK_CAPTURE(BM_EncodeBlock, v2_generic, 2, false)->UseRealTime();
BENCHMARK_CAPTURE(BM_EncodeBlock, v2_avx2, 2, true)->UseRealTime();
BENCHMARK_CAPTURE(BM_EncodeBlock, v3_generic, 3, false)->UseRealTime();
BENCHMARK_CAPTURE(BM_EncodeBlock, v3_avx2, 3, true)->UseRealTime();
