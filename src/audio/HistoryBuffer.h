#pragma once

#include <atomic>
#include <cstdint>

namespace kestrava::audio {

// The slot array of a sample history and the per-view pins of the readers that hold it. Both
// the block and the array are 64-byte aligned; every slot of a new buffer holds 1e-11.
struct HistoryBuffer {
    static constexpr int viewCount = 31;

    std::atomic<float>* data = nullptr;
    std::int32_t capacity = 0;
    std::atomic<std::int32_t> pins[viewCount] = {};

    // A new buffer of `capacity` slots; null (reported on standard error) when memory is short.
    static HistoryBuffer* create(std::int32_t capacity);
    static void destroy(HistoryBuffer* buffer);
    bool pinned() const;
};

static_assert(sizeof(std::atomic<float>) == sizeof(float) && std::atomic<float>::is_always_lock_free);

}  // namespace kestrava::audio
