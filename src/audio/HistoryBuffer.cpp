#include "audio/HistoryBuffer.h"

#include <cstdio>
#include <new>

namespace kestrava::audio {

namespace {

constexpr std::align_val_t historyAlignment{64};

// Through the aligned operator new, so that allocation counters see it.
void* allocate(std::size_t bytes) {
    void* p = ::operator new(bytes, historyAlignment, std::nothrow);
    if (p == nullptr) std::fprintf(stderr, "Memory allocation of size %d failed.\n", static_cast<int>(bytes));
    return p;
}

}  // namespace

HistoryBuffer* HistoryBuffer::create(std::int32_t capacity) {
    if (capacity <= 0) return nullptr;
    void* block = allocate(sizeof(HistoryBuffer));
    if (block == nullptr) return nullptr;
    void* slots = allocate(sizeof(std::atomic<float>) * static_cast<std::size_t>(capacity));
    if (slots == nullptr) {
        ::operator delete(block, historyAlignment);
        return nullptr;
    }
    auto* buffer = new (block) HistoryBuffer;
    buffer->data = static_cast<std::atomic<float>*>(slots);
    for (std::int32_t i = 0; i < capacity; ++i) new (&buffer->data[i]) std::atomic<float>(1e-11f);
    buffer->capacity = capacity;
    return buffer;
}

void HistoryBuffer::destroy(HistoryBuffer* buffer) {
    if (buffer == nullptr) return;
    ::operator delete(static_cast<void*>(buffer->data), historyAlignment);
    buffer->~HistoryBuffer();
    ::operator delete(static_cast<void*>(buffer), historyAlignment);
}

bool HistoryBuffer::pinned() const {
    for (const auto& pin : pins) {
        if (pin.load() != 0) return true;
    }
    return false;
}

}  // namespace kestrava::audio
