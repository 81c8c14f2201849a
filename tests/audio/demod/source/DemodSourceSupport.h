#pragma once

#include "audio/EncodeStep.h"
#include "audio/demod/DemodulatingAudioSource.h"
#include "logging/KestravaInstanceConfig.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The demodulating source with the stream part left out.
struct TestSource : kestrava::audio::demod::DemodulatingAudioSource {
    using kestrava::audio::demod::DemodulatingAudioSource::DemodulatingAudioSource;
    void start() override {}
    void stop() override {}
};

inline std::unique_ptr<TestSource> makeSource(KestravaInstanceConfig& config,
                                              std::unique_ptr<kestrava::audio::EncodeStep> step = nullptr) {
    return std::unique_ptr<TestSource>(new TestSource(nullptr, &config, std::move(step)));
}

// Feeds `signal` in chunks of at most `chunk`, each copied first as the sound card does (the
// input stage gains its block in place).
inline void feedInChunks(kestrava::audio::demod::DemodulatingAudioSource& source, const std::vector<float>& signal, std::size_t chunk) {
    std::vector<float> block(chunk);
    for (std::size_t at = 0; at < signal.size(); at += chunk) {
        const std::size_t n = std::min(chunk, signal.size() - at);
        std::copy_n(signal.begin() + static_cast<std::ptrdiff_t>(at), n, block.begin());
        source.feedInput(block.data(), static_cast<std::uint32_t>(n));
    }
}

// Spins (yielding) until the condition holds or 10 s have passed; true when it holds.
template <class Condition>
bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// Stands in for the encode step: copies every claimed block out of the ring, in order, into a
// buffer sized up front.
class CollectingStep : public kestrava::audio::EncodeStep {
public:
    explicit CollectingStep(std::size_t capacity) : records(capacity) {}

    std::int32_t encodeAndSendBlock(const kestrava::audio::BlockView& block) override {
        const std::size_t have = collected.load(std::memory_order_relaxed);
        if (block.inputWasReset) resetAt.push_back(have);
        const std::size_t k = std::min<std::size_t>(block.count, records.size() - have);
        std::copy_n(block.records, k, records.begin() + static_cast<std::ptrdiff_t>(have));
        collected.store(have + k, std::memory_order_release);
        return 0;
    }

    std::vector<kestrava::audio::DemodulatedSample> records;
    std::vector<std::size_t> resetAt;  // records collected before each block that follows an input reset
    std::atomic<std::size_t> collected{0};
};

// Holds the feed thread inside its first block (already read out of the ring) until opened.
class GateStep : public kestrava::audio::EncodeStep {
public:
    std::int32_t encodeAndSendBlock(const kestrava::audio::BlockView&) override {
        std::unique_lock lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        return 0;
    }
    bool waitEntered() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [this] { return entered; });
    }
    void openGate() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
};
