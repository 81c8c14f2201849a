// Erasure encoding speed: this coder against two generic erasure-code libraries on the same k, m
// and block length (2048 bytes): a Cauchy bit-matrix coder with a scheduled XOR encoder, and a
// table-driven GF(256) multiply coder. MB/s counts data bytes in. Warm runs reuse one group
// (everything in cache); cold runs cycle through 64 MB of groups. Each benchmark checks its
// output after timing. Run with KESTRAVA_CPU=generic for this coder's generic build.
#include "transport/ErasureCoder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#if KESTRAVA_BENCH_JERASURE

using kestrava::transport::ErasureCoder;
extern "C" {
#include <jerasure.h>
#include <jerasure/cauchy.h>
}
#endif
#if KESTRAVA_BENCH_ISAL
#include <isa-l/erasure_code.h>
#endif

namespace {

constexpr int blockBytes = 2048;
constexpr std::size_t coldBytes = std::size_t{64} << 20;

// Groups of k data blocks and m recovery blocks, contiguous per group.
struct Groups {
    int k, m, count;
    std::vector<std::uint8_t> data, recovery;
    std::vector<std::vector<std::uint8_t*>> dataPointers, recoveryPointers;

    Groups(int k_, int m_, bool cold) : k(k_), m(m_) {
        const std::size_t groupBytes = static_cast<std::size_t>(k + m) * blockBytes;
        count = cold ? static_cast<int>(coldBytes / groupBytes) + 1 : 1;
        data.resize(static_cast<std::size_t>(count) * k * blockBytes);
        recovery.resize(static_cast<std::size_t>(count) * m * blockBytes);
        std::mt19937 rng(1);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        for (int g = 0; g < count; ++g) {
            dataPointers.emplace_back();
            recoveryPointers.emplace_back();
            for (int j = 0; j < k; ++j) dataPointers[g].push_back(&data[(static_cast<std::size_t>(g) * k + j) * blockBytes]);
            for (int r = 0; r < m; ++r) recoveryPointers[g].push_back(&recovery[(static_cast<std::size_t>(g) * m + r) * blockBytes]);
        }
    }
};

void finish(benchmark::State& state, const Groups& groups) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * groups.k * blockBytes);
    state.counters["k"] = groups.k;
    state.counters["m"] = groups.m;
}

void BM_Kestrava(benchmark::State& state) {
    Groups groups(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
    std::unique_ptr<ErasureCoder> coder(new ErasureCoder);
    int g = 0;
    for (auto _ : state) {
        const auto* data = reinterpret_cast<const std::uint8_t* const*>(groups.dataPointers[g].data());
        if (coder->encode(groups.k, groups.m, data, groups.recoveryPointers[g][0], blockBytes) != 0) {
            state.SkipWithError("encode refused");
            break;
        }
        benchmark::ClobberMemory();
        if (++g == groups.count) g = 0;
    }
    // Check: recovery block 0 is the parity of group 0, and encoding again gives the same bytes.
    std::vector<std::uint8_t> parity(blockBytes, 0), again(static_cast<std::size_t>(groups.m) * blockBytes);
    for (int j = 0; j < groups.k; ++j) {
        for (int i = 0; i < blockBytes; ++i) parity[i] ^= groups.dataPointers[0][j][i];
    }
    coder->encode(groups.k, groups.m, reinterpret_cast<const std::uint8_t* const*>(groups.dataPointers[0].data()),
                  again.data(), blockBytes);
    if (std::memcmp(parity.data(), groups.recoveryPointers[0][0], blockBytes) != 0 ||
        std::memcmp(again.data(), groups.recoveryPointers[0][0], again.size()) != 0) {
        state.SkipWithError("wrong recovery blocks");
    }
    finish(state, groups);
}

#if KESTRAVA_BENCH_JERASURE
void BM_JerasureCauchyBitmatrix(benchmark::State& state) {
    Groups groups(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
    const int w = 8;
    const int packetBytes = blockBytes / w;
    int* matrix = cauchy_good_general_coding_matrix(groups.k, groups.m, w);
    int* bitmatrix = jerasure_matrix_to_bitmatrix(groups.k, groups.m, w, matrix);
    int** schedule = jerasure_smart_bitmatrix_to_schedule(groups.k, groups.m, w, bitmatrix);
    int g = 0;
    for (auto _ : state) {
        jerasure_schedule_encode(groups.k, groups.m, w, schedule, reinterpret_cast<char**>(groups.dataPointers[g].data()),
                                 reinterpret_cast<char**>(groups.recoveryPointers[g].data()), blockBytes, packetBytes);
        benchmark::ClobberMemory();
        if (++g == groups.count) g = 0;
    }
    // Check: the scheduled encoder agrees with the library's plain bit-matrix encoder.
    std::vector<std::uint8_t> plain(static_cast<std::size_t>(groups.m) * blockBytes);
    std::vector<char*> plainPointers;
    for (int r = 0; r < groups.m; ++r) plainPointers.push_back(reinterpret_cast<char*>(&plain[r * blockBytes]));
    jerasure_bitmatrix_encode(groups.k, groups.m, w, bitmatrix, reinterpret_cast<char**>(groups.dataPointers[0].data()),
                              plainPointers.data(), blockBytes, packetBytes);
    for (int r = 0; r < groups.m; ++r) {
        if (std::memcmp(plainPointers[r], groups.recoveryPointers[0][r], blockBytes) != 0) {
            state.SkipWithError("wrong recovery blocks");
            break;
        }
    }
    jerasure_free_schedule(schedule);
    free(bitmatrix);
    free(matrix);
    finish(state, groups);
}
#endif

#if KESTRAVA_BENCH_ISAL
using IsalEncode = void (*)(int, int, int, unsigned char*, unsigned char**, unsigned char**);

// `encode` is the library's dispatching entry (its widest vectors) or its AVX2 entry, the same
// instruction set as this coder's fast build.
void BM_IsalEcEncodeData(benchmark::State& state, IsalEncode encode, bool needsAvx2) {
    if (needsAvx2 && !__builtin_cpu_supports("avx2")) {
        state.SkipWithError("no AVX2");
        return;
    }
    Groups groups(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
    const int k = groups.k;
    const int m = groups.m;
    std::vector<unsigned char> encodeMatrix(static_cast<std::size_t>(k + m) * k);
    std::vector<unsigned char> tables(static_cast<std::size_t>(32) * k * m);
    gf_gen_cauchy1_matrix(encodeMatrix.data(), k + m, k);
    ec_init_tables(k, m, &encodeMatrix[static_cast<std::size_t>(k) * k], tables.data());
    int g = 0;
    for (auto _ : state) {
        encode(blockBytes, k, m, tables.data(), groups.dataPointers[g].data(), groups.recoveryPointers[g].data());
        benchmark::ClobberMemory();
        if (++g == groups.count) g = 0;
    }
    // Check: the processor-specific encoder agrees with the library's baseline one.
    std::vector<std::uint8_t> base(static_cast<std::size_t>(m) * blockBytes);
    std::vector<unsigned char*> basePointers;
    for (int r = 0; r < m; ++r) basePointers.push_back(&base[r * blockBytes]);
    ec_encode_data_base(blockBytes, k, m, tables.data(), groups.dataPointers[0].data(), basePointers.data());
    for (int r = 0; r < m; ++r) {
        if (std::memcmp(basePointers[r], groups.recoveryPointers[0][r], blockBytes) != 0) {
            state.SkipWithError("wrong recovery blocks");
            break;
        }
    }
    finish(state, groups);
}
#endif

// k, m, cold
void groupShapes(benchmark::internal::Benchmark* b) {
    for (const auto& shape : {std::vector<std::int64_t>{10, 4, 0}, {10, 4, 1}, {10, 2, 0}, {20, 6, 0}, {64, 4, 0},
                              {64, 4, 1}, {64, 8, 0}, {128, 128, 0}}) {
        b->Args(shape);
    }
    b->ArgNames({"k", "m", "cold"});
}

BENCHMARK(BM_Kestrava)->Apply(groupShapes);
#if KESTRAVA_BENCH_JERASURE
BENCHMARK(BM_JerasureCauchyBitmatrix)->Apply(groupShapes);
#endif
#if KESTRAVA_BENCH_ISAL
BENCHMARK_CAPTURE(BM_IsalEcEncodeData, dispatched, ec_encode_data, false)->Apply(groupShapes);
BENCHMARK_CAPTURE(BM_IsalEcEncodeData, avx2, ec_encode_data_avx2, true)->Apply(groupShapes);
#endif

}  // namespace
