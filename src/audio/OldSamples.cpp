#include "audio/OldSamples.h"

#include "audio/CopyScaled32768.h"

#include <algorithm>

namespace kestrava::audio {

OldSamples::OldSamples(bool withReaderEvents) {
    if (withReaderEvents) events = std::make_unique<kestrava::AutoResetEvent[]>(viewCount);
    std::fill(std::begin(triggerAdvance), std::end(triggerAdvance), -1);
    std::fill(std::begin(triggerPosition), std::end(triggerPosition), -1);
    // A history that could not get its first buffer stays at size 0: the writer drops every
    // block and no reader finds room.
    if (HistoryBuffer* first = HistoryBuffer::create(initialSize)) {
        ring.store(first);
        size.store(initialSize);
    }
}

OldSamples::~OldSamples() {
    HistoryBuffer::destroy(prepared.load());
    HistoryBuffer::destroy(retiredRing.load());
    HistoryBuffer::destroy(ring.load());
}

void OldSamples::append(const float* block, std::int32_t count) {
    installPrepared();
    HistoryBuffer* buffer = ring.load(std::memory_order_relaxed);  // only this thread swaps it
    if (buffer != nullptr && count > 0) {
        std::int32_t index = writeIndex.load(std::memory_order_relaxed);
        std::int32_t copied = 0;
        while (copied < count) {
            // The size only grows, and never beyond the buffer this thread installed.
            const std::int32_t wrapAt = size.load(std::memory_order_acquire);
            const std::int32_t chunk = std::min(wrapAt - index, count - copied);
            copyScaled32768(chunk, copied, index, block, buffer->data);
            copied += chunk;
            if (index >= wrapAt) {
                index = 0;
                wrapCount.fetch_add(1, std::memory_order_relaxed);
            }
            writeIndex.store(index, std::memory_order_release);
        }
    }
    if (events) {
        for (int view = 0; view < viewCount; ++view) events[view].set();
    }
    readStart.store(writeIndex.load(std::memory_order_relaxed), std::memory_order_release);
}

void OldSamples::installPrepared() {
    if (state.load(std::memory_order_acquire) != Prepared) return;
    HistoryBuffer* next = prepared.load(std::memory_order_acquire);
    HistoryBuffer* old = ring.load(std::memory_order_relaxed);
    if (old != nullptr) {
        const std::int32_t oldSize = std::min(size.load(), old->capacity);
        for (std::int32_t i = 0; i < oldSize; ++i) {
            next->data[i].store(old->data[i].load(std::memory_order_relaxed), std::memory_order_relaxed);
        }
    }
    pendingSize.store(next->capacity);
    retiredRing.store(old);
    prepared.store(nullptr);
    ring.store(next);  // seq_cst: a reader that pins after this sees the new buffer
    state.store(Installed);
}

void OldSamples::requestSize(std::int32_t samples) {
    samples = std::min(samples, largestRequest);
    std::int32_t seen = requestedSize.load();
    while (seen < samples && !requestedSize.compare_exchange_weak(seen, samples)) {
    }
    const std::int32_t wanted = requestedSize.load();
    if (wanted > size.load() && state.load() == Idle) grow(((wanted + 16) & ~15) + growthMargin);
}

bool OldSamples::grow(std::int32_t newSize) {
    std::lock_guard lock(resizeMutex);
    if (state.load() != Idle || newSize <= size.load()) return false;
    HistoryBuffer* next = HistoryBuffer::create(newSize);
    if (next == nullptr) return false;
    prepared.store(next);
    state.store(Prepared);
    return true;
}

bool OldSamples::commitResize() {
    std::lock_guard lock(resizeMutex);
    if (state.load() != Installed) return false;
    HistoryBuffer* old = retiredRing.load();
    // Seen after the swap: a reader between taking the old buffer and pinning it shows its
    // pinning flag, and one that pinned it shows its pin.
    for (const auto& flag : pinning) {
        if (flag.load()) return false;
    }
    if (old != nullptr && old->pinned()) return false;
    retiredRing.store(nullptr);
    HistoryBuffer::destroy(old);
    size.store(pendingSize.load());
    state.store(Idle);
    return true;
}

void OldSamples::captureView(int view) {
    if (view < 0 || view >= viewCount) return;
    if (state.load() == Installed) commitResize();
    if (requestedSize.load() > size.load()) requestSize(requestedSize.load());
    const std::int32_t wrapAt = size.load();
    if (wrapAt > 0) viewPosition[view].store((readStart.load(std::memory_order_acquire) + wrapAt) % wrapAt);
}

HistoryBuffer* OldSamples::pin(int view) {
    if (view < 0 || view >= viewCount) return nullptr;
    pinning[view].store(true);
    HistoryBuffer* buffer = ring.load();
    if (buffer != nullptr) buffer->pins[view].fetch_add(1);
    pinning[view].store(false);
    return buffer;
}

void OldSamples::unpin(int view, HistoryBuffer* buffer) {
    if (buffer != nullptr && view >= 0 && view < viewCount) buffer->pins[view].fetch_sub(1);
}

std::int32_t OldSamples::read(int view, std::int32_t delay, float* destination, std::int32_t n) {
    if (view < 0 || view >= viewCount || n <= 0 || delay < 0) return 0;
    if (static_cast<std::int64_t>(n) + delay > size.load()) return 0;
    HistoryBuffer* buffer = pin(view);
    if (buffer == nullptr) return 0;
    // A pinned old buffer keeps the old size: the commit waits for the pin.
    const std::int32_t wrapAt = std::min(size.load(), buffer->capacity);
    std::int64_t start = static_cast<std::int64_t>(viewPosition[view].load(std::memory_order_acquire)) - delay - n;
    start %= wrapAt;
    if (start < 0) start += wrapAt;
    auto position = static_cast<std::int32_t>(start);
    for (std::int32_t i = 0; i < n; ++i) {
        destination[i] = buffer->data[position].load(std::memory_order_relaxed) * static_cast<float>(rateFactor);
        if (++position == wrapAt) position = 0;
    }
    unpin(view, buffer);
    return n;
}

bool OldSamples::waitForInput(int view, std::chrono::milliseconds timeout) {
    if (!events || view < 0 || view >= viewCount) return false;
    return events[view].waitFor(timeout);
}

std::int32_t OldSamples::ringCapacity() const {
    const HistoryBuffer* buffer = ring.load();
    return buffer != nullptr ? buffer->capacity : 0;
}

float OldSamples::slot(std::int32_t position) const {
    const HistoryBuffer* buffer = ring.load();
    if (buffer == nullptr || position < 0 || position >= buffer->capacity) return 0.0f;
    return buffer->data[position].load(std::memory_order_relaxed);
}

}  // namespace kestrava::audio
