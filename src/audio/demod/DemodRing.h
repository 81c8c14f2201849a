#pragma once

#include "logging/KestravaInstanceConfig.h"
#include "net/MessageThrottle.h"
#include "platform/Clock.h"
#include "platform/NonCopyable.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

// A named single-producer single-consumer ring of N floats with 64-bit totals, as the
// demodulator's rings need it: sliding reads, plain writes and the overlap-add of 4096-sample
// frames at a hop of 3072. Messages go to the logger of the owning instance, the first time and
// then at most once per 10 s per side with the number held back: an input ring that overflows on
// every audio callback must not flood the log.
//
//   data:  |.... read ....|== readable (write - read) ==|-- pending tail (1024) --|.... free ....|
//                        read % N                      write % N
//
// The element of total t sits at t % N. The producer stores its samples before it advances the
// write total (release); the consumer loads the write total (acquire) before it reads them, and
// advances the read total (release) only after it has copied them out.
//
// Kept to the calls the demodulator makes, so that the owner's general sample FIFO can replace it.
template <std::uint32_t N>
class DemodRing : kestrava::NonCopyable {
public:
    static constexpr std::uint32_t capacity = N;
    static constexpr std::uint32_t frameLength = 4096;
    static constexpr std::uint32_t hop = 3072;
    static constexpr std::uint32_t overlap = frameLength - hop;
    static_assert(N >= frameLength, "a ring must hold one frame");

    DemodRing(std::string name, KestravaInstanceConfig* owner) : owner(owner), ringName(std::move(name)) {
        std::memset(values, 0, sizeof values);
    }

    const std::string& name() const { return ringName; }
    std::uint64_t writeCount() const { return writeTotal.load(std::memory_order_acquire); }
    std::uint64_t readCount() const { return readTotal.load(std::memory_order_acquire); }
    const float* data() const { return values; }

    // Samples waiting to be read; 0 when the read total is not below the write total.
    std::uint32_t available() const {
        const std::uint64_t w = writeCount();
        const std::uint64_t r = readCount();
        return r < w ? static_cast<std::uint32_t>(std::min<std::uint64_t>(w - r, N)) : 0;
    }

    // Copies k = min(n, available) samples into destination[0..k-1], zero-fills the rest of the n
    // and advances the read total by min(k, slide). A short read is logged. Returns k.
    std::uint32_t readSliding(float* destination, std::uint32_t n, std::uint32_t slide) {
        const std::uint64_t r = readCount();
        const std::uint32_t k = std::min(n, available());
        copyOut(destination, r, k);
        readTotal.store(r + std::min(k, slide), std::memory_order_release);
        if (k < n) {
            log(readThrottle, "Buffer empty, but {:d} samples requested @ {} (reading {} instead, sliding size {})", n,
                ringName, k, slide);
            std::fill(destination + k, destination + n, 0.0f);
        }
        return k;
    }

    // Appends as many of the n samples as fit; a shortfall is logged.
    void write(const float* source, std::uint32_t n) {
        const std::uint64_t w = writeTotal.load(std::memory_order_relaxed);
        const std::uint32_t k = std::min(n, N - pending(w));
        if (k < n) log(writeThrottle, "Buffer too full: cannot write {:d} samples @ {} (writing {})", n, ringName, k);
        copyIn(source, w, k);
        writeTotal.store(w + k, std::memory_order_release);
    }

    // True when a whole frame fits: (write - read) + 4096 <= N.
    bool hasRoomForFrame() const { return pending(writeTotal.load(std::memory_order_relaxed)) + frameLength <= N; }

    // Logs that a frame was refused.
    void reportRefusedFrame() {
        log(writeThrottle, "Buffer too full: cannot write {:d} samples in sliding window @ {}", frameLength, ringName);
    }

    // Adds frame[0..1023] onto the pending tail, stores frame[1024..4095] behind it and makes 3072
    // samples readable. Without room for the frame it logs, stores nothing and returns false.
    bool writeOverlapped(const float* frame) {
        if (!hasRoomForFrame()) {
            reportRefusedFrame();
            return false;
        }
        const std::uint64_t w = writeTotal.load(std::memory_order_relaxed);
        const std::uint32_t p = static_cast<std::uint32_t>(w % N);
        for (std::uint32_t j = 0; j < overlap; ++j) {
            float& v = values[(p + j) % N];
            v = v + frame[j];
        }
        copyIn(frame + overlap, w + overlap, hop);
        writeTotal.store(w + hop, std::memory_order_release);
        return true;
    }

    // Empties the ring: zeroes the 1024 values that the next frame adds onto (positions 0..1023),
    // then sets the write total and then the read total to 0. Only the consumer's thread calls it.
    void reset() {
        std::fill(values, values + overlap, 0.0f);
        writeTotal.store(0, std::memory_order_release);
        readTotal.store(0, std::memory_order_release);
    }

private:
    std::uint32_t pending(std::uint64_t w) const {
        const std::uint64_t r = readTotal.load(std::memory_order_acquire);
        return r < w ? static_cast<std::uint32_t>(std::min<std::uint64_t>(w - r, N)) : 0;
    }

    void copyOut(float* destination, std::uint64_t from, std::uint32_t k) const {
        const std::uint32_t start = static_cast<std::uint32_t>(from % N);
        const std::uint32_t first = std::min(k, N - start);
        std::memcpy(destination, values + start, first * sizeof(float));
        std::memcpy(destination + first, values, (k - first) * sizeof(float));
    }

    void copyIn(const float* source, std::uint64_t to, std::uint32_t k) {
        const std::uint32_t start = static_cast<std::uint32_t>(to % N);
        const std::uint32_t first = std::min(k, N - start);
        std::memcpy(values + start, source, first * sizeof(float));
        std::memcpy(values, source + first, (k - first) * sizeof(float));
    }

    // Each throttle belongs to one side's thread.
    template <class... Args>
    void log(Networking::MessageThrottle& throttle, fmt::format_string<Args...> format, const Args&... args) {
        if (owner == nullptr) return;
        std::uint32_t heldBack = 0;
        if (!throttle.shouldReport(kestrava::steadyNowNs(), heldBack)) return;
        owner->logger.log(1, KestravaLogger::Error, format, args...);
        if (heldBack > 0) owner->logger.log(1, KestravaLogger::Error, "{} more such messages held back @ {}", heldBack, ringName);
    }

    KestravaInstanceConfig* const owner;
    const std::string ringName;
    alignas(64) float values[N];
    alignas(64) std::atomic<std::uint64_t> readTotal{0};
    alignas(64) std::atomic<std::uint64_t> writeTotal{0};
    Networking::MessageThrottle writeThrottle;
    Networking::MessageThrottle readThrottle;
};
