#pragma once

#include "audio/Audio.h"
#include "audio/HistoryBuffer.h"
#include "platform/AutoResetEvent.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kestrava::audio {

// A shared history of the most recent input samples (x 32,768) that the web displays read.
// One writer (append(), on the audio callback thread) and any number of readers, one per view.
//
// The samples are not locked; the writer never allocates. Growth runs in three steps:
//   reader asks for room (requestSize)  ->  a reader prepares a larger buffer (grow)
//   ->  the writer's next append copies the old slots over and swaps the buffer in
//   ->  a later view capture retires the old buffer once no reader pins it (commitResize) and
//       installs the new size.
// Readers pin the buffer they copy from (per-view counters), so a retired buffer is freed only
// when nobody holds it; until the commit the ring keeps wrapping at the old size.
class OldSamples : public Audio {
public:
    static constexpr int viewCount = HistoryBuffer::viewCount;
    static constexpr std::int32_t initialSize = 52672;
    static constexpr std::int32_t growthMargin = 28672;  // slots added beyond every request
    static constexpr std::int32_t largestRequest = 1 << 24;

    explicit OldSamples(bool withReaderEvents);
    ~OldSamples() override;

    // Writer: appends `count` samples x 32,768 at the write index, wrapping as often as needed,
    // sets every reader event and publishes the new read start. Never allocates.
    void append(const float* block, std::int32_t count);

    // Readers: raises the requested room to at least `samples` and prepares a larger buffer when
    // the history is smaller and no resize is under way. The new size takes effect at a later
    // successful commitResize().
    void requestSize(std::int32_t samples);
    // Prepares a buffer of newSize slots for the writer to swap in; false when a resize is under
    // way, newSize is not larger than the present size, or memory is short.
    bool grow(std::int32_t newSize);
    // Retires a swapped-out buffer and installs the new size, unless a reader still pins the old
    // buffer; true when a resize was completed.
    bool commitResize();

    // Start of a web update of a view: commits a pending resize when it can, prepares the next
    // growth when asked for, and sets the view's read position to the latest read start.
    void captureView(int view);
    // Copies the n samples that end `delay` samples before the view's captured position, each
    // multiplied by rateFactor. Returns n, or 0 (nothing copied) when n + delay exceeds the size.
    std::int32_t read(int view, std::int32_t delay, float* destination, std::int32_t n);
    // Readers that copy in several steps: pin the current buffer for the view, copy (positions
    // modulo min(getSize(), capacity)), then unpin the same buffer.
    HistoryBuffer* pin(int view);
    void unpin(int view, HistoryBuffer* buffer);
    // Waits for fresh input for the view (histories with reader events); false on time-out.
    bool waitForInput(int view, std::chrono::milliseconds timeout);

    std::int32_t getSize() const { return size.load(); }
    std::int32_t getWriteIndex() const { return writeIndex.load(std::memory_order_acquire); }
    std::int32_t getReadStart() const { return readStart.load(std::memory_order_acquire); }
    std::int32_t getRequestedSize() const { return requestedSize.load(); }
    std::int32_t getViewPosition(int view) const { return viewPosition[view].load(std::memory_order_acquire); }
    bool hasReaderEvents() const { return events != nullptr; }
    bool resizePending() const { return state.load() == Installed; }
    bool growthPrepared() const { return state.load() == Prepared; }
    // Slots of the buffer the writer fills (larger than getSize() between swap and commit).
    std::int32_t ringCapacity() const;
    // One slot of the current buffer, for checks.
    float slot(std::int32_t position) const;
    // The scopes read and clear the wrap count.
    std::int32_t takeWrapCount() { return wrapCount.exchange(0); }
    std::int32_t getWrapCount() const { return wrapCount.load(); }

    // Stored samples per second (input rate x rateFactor); set by the instance's apply step.
    std::atomic<float> storedRate{0.0f};
    const std::int32_t rateFactor = 1;

    // Reader state of the waveform scopes, one entry per view; each entry belongs to its view's
    // reader, and the web server runs one reader per view at a time.
    std::int32_t readerWriteSnapshot = 0;
    std::int32_t triggerScanPosition[viewCount] = {};
    float triggerLevel[viewCount] = {};
    std::int32_t triggerAdvance[viewCount];
    std::int32_t triggerPosition[viewCount];

private:
    enum ResizeState : int { Idle, Prepared, Installed };

    void installPrepared();

    std::atomic<std::int32_t> size{0};
    std::atomic<HistoryBuffer*> ring{nullptr};
    std::atomic<HistoryBuffer*> prepared{nullptr};
    std::atomic<HistoryBuffer*> retiredRing{nullptr};
    std::atomic<int> state{Idle};
    std::atomic<std::int32_t> pendingSize{0};
    std::atomic<std::int32_t> requestedSize{0};
    std::atomic<std::int32_t> writeIndex{0};
    std::atomic<std::int32_t> readStart{0};
    std::atomic<std::int32_t> wrapCount{0};
    std::atomic<std::int32_t> viewPosition[viewCount] = {};
    std::atomic<bool> pinning[viewCount] = {};
    std::unique_ptr<kestrava::AutoResetEvent[]> events;
    std::mutex resizeMutex;  // orders growth preparation and commits; each holds it briefly
};

}  // namespace kestrava::audio
