// Stream protection of one packet (check byte and AES-128 over whole blocks), in bytes per second.
#include "logging/KestravaInstanceConfig.h"
#include "net/SenderSlot.h"
#include "net/StreamEncryptor.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

static void BM_ProtectPacket(benchmark::State& state) {
    KestravaInstanceConfig config(192000, 2040);
    config.engine.setText(EngineSettings::TextStreamKey1, "000102030405060708090a0b0c0d0e0f");
    config.engine.streamProtection = true;
    kestrava::net::StreamEncryptor encryptor(&config);
    const auto length = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::uint8_t> packet(length, 0x5A), buffer(kestrava::net::SenderSlot::capacity);
    for (auto _ : state) {
        std::memcpy(buffer.data(), packet.data(), length);
        benchmark::DoNotOptimize(encryptor.protect(buffer.data(), length, kestrava::net::SenderSlot::capacity));
    }
    // Check after timing: byte 0 stays plain and the length grew by one.
    std::memcpy(buffer.data(), packet.data(), length);
    if (encryptor.protect(buffer.data(), length, kestrava::net::SenderSlot::capacity) != length + 1 || buffer[0] != 0x5A) {
        state.SkipWithError("protection gave a wrong result");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * length);
}
BENCHMARK(BM_ProtectPacket)->Arg(64)->Arg(1400)->Arg(2047);
