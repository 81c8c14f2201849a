#pragma once

#include "audio/DemodulatedSample.h"
#include "logging/KestravaInstanceConfig.h"
#include "platform/MessageThrottle.h"
#include "platform/Clock.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace kestrava::audio {

// A fixed-capacity ring for exactly one producer and one consumer, without a lock. Two 64-bit
// totals count everything ever published and everything ever released; the element with total
// index k lives at data[k mod N]:
//
//      readCount            writeCount        writeCount + tail
//          |  published, unreleased  |  pending tail  |      free      |
//   data:  [=========================|................|________________]  (modulo N)
//
// The producer copies elements in before it publishes them with a release-add to writeCount; the
// consumer copies them out before it releases them with a release-add to readCount; each side
// loads the other's total with acquire. A full ring takes what fits, an empty one returns short
// and fills the rest of the caller's buffer; both are logged under the ring's name, the first
// time and then at most once per 10 s with the number held back. Nothing allocates, blocks or
// locks; waking the consumer is the owner's business.
//
// Resets: reset() zeroes both totals and discards the pending overlap tail; it is only for an
// owner that holds both sides (no operation of the ring running on another thread). When the
// producer and the consumer run on different threads, the producer calls requestReset() and the
// consumer drops everything published up to that moment at its next readSliding() (or
// applyPendingReset()), so the totals keep a single writer each.
template <class T, std::size_t N>
class SampleFifo {
    static_assert(N > 0, "a ring holds at least one element");
    static_assert(std::is_trivially_copyable_v<T>, "elements are copied as bytes");

public:
    SampleFifo(std::string name_, KestravaInstanceConfig* config_) : config(config_), name(std::move(name_)) {
        // Block copies of a growing filled prefix rather than one store per element: the rings are
        // megabytes, and construction should stay cheap also under the thread checker.
        data[0] = T{};
        for (std::size_t filled = 1; filled < N; filled *= 2) {
            std::memcpy(data + filled, data, std::min(filled, N - filled) * sizeof(T));
        }
    }
    SampleFifo(const SampleFifo&) = delete;
    SampleFifo& operator=(const SampleFifo&) = delete;

    static constexpr std::size_t capacity() { return N; }
    const std::string& getName() const { return name; }

    // Producer. Writes min(n, free) elements of src and publishes them; returns how many.
    std::size_t write(const T* src, std::size_t n) {
        const std::uint64_t w = writeCount.load(std::memory_order_relaxed);
        const std::uint64_t r = readCount.load(std::memory_order_acquire);
        const std::uint64_t used = (w > r) ? w - r : 0;
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(n, N - std::min<std::uint64_t>(used, N)));
        if (count < n) logError(writeThrottle, "Buffer too full: cannot write {:d} samples @ {} (writing {})", n, count);
        const std::size_t p = static_cast<std::size_t>(w % N);
        const std::size_t first = std::min(N - p, count);
        std::copy(src, src + first, data + p);
        std::copy(src + first, src + count, data);
        if (count > 0) {
            pendingTail = 0;  // a plain write covers the positions a tail would hold
            writeCount.fetch_add(count, std::memory_order_release);
        }
        return count;
    }

    // Consumer. Copies min(n, available) elements into dst, releases min(slide, copied) of them,
    // and fills the rest of dst (float: 0.0; records: all fields but mpx to 0.0). Returns the
    // number copied.
    std::size_t readSliding(T* dst, std::size_t n, std::size_t slide) {
        applyPendingReset();
        const std::uint64_t w = writeCount.load(std::memory_order_acquire);
        const std::uint64_t r = readCount.load(std::memory_order_relaxed);
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(n, (r < w) ? w - r : 0));
        const std::size_t p = static_cast<std::size_t>(r % N);
        const std::size_t first = std::min(N - p, count);
        std::copy(data + p, data + p + first, dst);
        std::copy(data, data + (count - first), dst + first);
        const std::size_t released = std::min(slide, count);
        if (released > 0) readCount.fetch_add(released, std::memory_order_release);
        if (count < n) {
            logError(readThrottle, "Buffer empty, but {:d} samples requested @ {} (reading {} instead, sliding size {})",
                     n, count, slide);
            for (std::size_t i = count; i < n; ++i) clearMissing(dst[i]);
        }
        return count;
    }

    // Producer, float rings. Overlap-adds a frame of n samples (frame advance hop <= n) onto the
    // pending tail of the previous frame, publishes hop samples and keeps the last n - hop
    // pending. Refused whole (logged, nothing changes) when the frame does not fit beside the
    // unreleased samples.
    void writeOverlapped(const float* src, std::size_t n, std::size_t hop)
        requires std::is_same_v<T, float>
    {
        hop = std::min(hop, n);
        const std::uint64_t w = writeCount.load(std::memory_order_relaxed);
        const std::uint64_t r = readCount.load(std::memory_order_acquire);
        const std::uint64_t used = (w > r) ? w - r : 0;
        if (used + n > N) {
            logError(writeThrottle, "Buffer too full: cannot write {:d} samples in sliding window @ {}", n);
            return;
        }
        const std::size_t overlap = n - hop;
        const std::size_t added = std::min(pendingTail, overlap);
        const std::size_t p = static_cast<std::size_t>(w % N);
        // Head: added onto the pending tail; beyond a tail cut short by a reset, stored.
        forEachStretch(p, added, [&](std::size_t at, std::size_t from, std::size_t len) {
            for (std::size_t i = 0; i < len; ++i) data[at + i] += src[from + i];
        });
        forEachStretch((p + added) % N, n - added, [&](std::size_t at, std::size_t from, std::size_t len) {
            std::copy(src + added + from, src + added + from + len, data + at);
        });
        pendingTail = overlap;
        if (hop > 0) writeCount.fetch_add(hop, std::memory_order_release);
    }

    // Either side: published, unreleased elements (0 while readCount is ahead).
    std::size_t available() const {
        const std::uint64_t w = writeCount.load(std::memory_order_acquire);
        const std::uint64_t r = readCount.load(std::memory_order_acquire);
        return (r < w) ? static_cast<std::size_t>(w - r) : 0;
    }

    // Owner holding both sides: both totals to 0, the pending tail discarded (the next overlapped
    // write starts clean instead of adding onto stale samples).
    void reset() {
        writeCount.store(0, std::memory_order_release);
        readCount.store(0, std::memory_order_release);
        pendingTail = 0;
        resetRequested.store(false, std::memory_order_relaxed);
    }

    // Producer: asks the consumer to drop everything published so far.
    void requestReset() {
        resetMark.store(writeCount.load(std::memory_order_relaxed), std::memory_order_relaxed);
        resetRequested.store(true, std::memory_order_release);
    }

    // Consumer: carries out a requested reset; true when there was one.
    bool applyPendingReset() {
        if (!resetRequested.load(std::memory_order_relaxed)) return false;
        if (!resetRequested.exchange(false, std::memory_order_acquire)) return false;
        const std::uint64_t mark = resetMark.load(std::memory_order_relaxed);
        if (mark > readCount.load(std::memory_order_relaxed)) readCount.store(mark, std::memory_order_release);
        return true;
    }

    // Totals, for the owners' checks and for tests.
    std::uint64_t getWriteCount() const { return writeCount.load(std::memory_order_acquire); }
    std::uint64_t getReadCount() const { return readCount.load(std::memory_order_acquire); }
    // Raw element at a position, for tests (no synchronisation).
    const T& at(std::size_t position) const { return data[position % N]; }

    // Test hook: places both totals at `total` on an empty ring (continuity past 2^32).
    void setTotalsForTest(std::uint64_t total) {
        writeCount.store(total, std::memory_order_release);
        readCount.store(total, std::memory_order_release);
    }

private:
    // Calls f(position in data, offset in the run, length) for the at most two contiguous
    // stretches of `len` elements starting at data position p.
    template <class F>
    static void forEachStretch(std::size_t p, std::size_t len, F f) {
        const std::size_t first = std::min(N - p, len);
        if (first > 0) f(p, 0, first);
        if (len > first) f(0, first, len - first);
    }

    static void clearMissing(float& x) { x = 0.0f; }
    static void clearMissing(DemodulatedSample& s) { s.left = s.right = s.quad = s.pilot = s.rds = 0.0f; }

    // Each throttle belongs to one side's thread: the producer's messages and the consumer's.
    template <class... Args>
    void logError(kestrava::platform::MessageThrottle& throttle, fmt::format_string<std::size_t, std::string, Args...> format,
                  std::size_t n, const Args&... args) {
        if (config == nullptr) return;
        std::uint32_t heldBack = 0;
        if (!throttle.shouldReport(kestrava::steadyNowNs(), heldBack)) return;
        config->logger.log(1, KestravaLogger::Error, format, n, name, args...);
        if (heldBack > 0) {
            config->logger.log(1, KestravaLogger::Error, "{} more such messages held back @ {}", heldBack, name);
        }
    }

    KestravaInstanceConfig* const config;
    const std::string name;
    alignas(64) T data[N];
    std::atomic<std::uint64_t> readCount{0};
    std::atomic<std::uint64_t> writeCount{0};
    std::atomic<std::uint64_t> resetMark{0};
    std::atomic<bool> resetRequested{false};
    std::size_t pendingTail = 0;  // producer's: samples of the last frame left pending
    kestrava::platform::MessageThrottle writeThrottle;
    kestrava::platform::MessageThrottle readThrottle;
};

}  // namespace kestrava::audio
