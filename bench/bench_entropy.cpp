// Entropy coding of one block's three code planes (408 codes each, as at 192 kHz), per coder
// family: the legacy coders of codec version 0 and the run-length coder of the later versions.
// Each run codes the joint main stream, the two difference streams and the third channel, as the
// audio payload does at most per block. The output is checked after timing.
#include "codec/entropy/EntropyCoder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

using kestrava::codec::entropy::EntropyCoder;

namespace {

constexpr std::uint32_t n = 408;

struct Block {
    std::vector<std::int32_t> joint, difference, third;
};

// Quantiser-like planes: small codes, zero runs in the third channel, related main channels.
Block makeBlock(std::uint32_t largest) {
    std::mt19937 random(7);
    std::geometric_distribution<int> small(0.2);
    std::uniform_int_distribution<int> percent(0, 99);
    auto code = [&] {
        const int m = std::min<int>(small(random), int(largest));
        return random() & 1u ? -m : m;
    };
    Block b;
    for (std::uint32_t i = 0; i < n; ++i) b.joint.push_back(code());
    for (std::uint32_t i = 0; i < n; ++i) b.joint.push_back(b.joint[i] + (percent(random) < 30 ? code() / 2 : 0));
    b.difference = b.joint;
    for (std::uint32_t i = 0; i < n; ++i) b.difference[n + i] -= b.difference[i];
    for (std::uint32_t i = 0; i < n; ++i) b.third.push_back(percent(random) < 70 ? 0 : code() / 3);
    return b;
}

void BM_EntropyLegacyBlock(benchmark::State& state) {
    auto coder = std::make_unique<EntropyCoder>(nullptr);
    coder->configureReset(16, 9);
    const Block b = makeBlock(400);
    std::vector<std::uint8_t> out(32768);
    std::uint32_t bytes = 0;
    for (auto _ : state) {
        bytes = coder->encodeLegacy(b.joint.data(), 2 * n, out.data(), 32768);
        bytes += coder->encodeLegacy(b.difference.data(), n, out.data(), 32768);
        bytes += coder->encodeLegacy(b.difference.data() + n, n, out.data(), 32768);
        bytes += coder->encodeLegacyAux(b.third.data(), n, out.data(), 32768);
        benchmark::DoNotOptimize(out.data());
    }
    if (bytes == 0) state.SkipWithError("a legacy coder failed");
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 5 * n);
    state.counters["bytes"] = double(bytes);
}

void BM_EntropyRunLengthBlock(benchmark::State& state) {
    auto coder = std::make_unique<EntropyCoder>(nullptr);
    coder->configureReset(0, 12);
    const auto rate = std::int32_t(state.range(0));
    const Block b = makeBlock(4000);
    std::vector<std::uint8_t> out(32768);
    std::uint32_t bytes = 0;
    for (auto _ : state) {
        bytes = coder->encode(b.joint.data(), 2 * n, out.data(), 32768, rate, 3);
        bytes += coder->encode(b.difference.data(), n, out.data(), 32768, rate, 3);
        bytes += coder->encode(b.difference.data() + n, n, out.data(), 32768, rate, 3);
        bytes += coder->encode(b.third.data(), n, out.data(), 32768, rate, 3);
        benchmark::DoNotOptimize(out.data());
    }
    if (bytes == 0) state.SkipWithError("the run-length coder failed");
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 5 * n);
    state.counters["bytes"] = double(bytes);
}

}  // namespace

BENCHMARK(BM_EntropyLegacyBlock);
BENCHMARK(BM_EntropyRunLengthBlock)->Arg(256)->Arg(576);
