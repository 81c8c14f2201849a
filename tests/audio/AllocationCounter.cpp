#include "AllocationCounter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
thread_local bool counting = false;
std::atomic<std::int64_t> counted{0};

void* allocate(std::size_t n, std::size_t alignment) noexcept {
    if (counting) counted.fetch_add(1, std::memory_order_relaxed);
    if (n == 0) n = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(n);
    return std::aligned_alloc(alignment, (n + alignment - 1) / alignment * alignment);
}

void* allocateOrThrow(std::size_t n, std::size_t alignment) {
    if (void* p = allocate(n, alignment)) return p;
    throw std::bad_alloc();
}
}  // namespace

namespace allocationCounter {
void countThisThread(bool on) { counting = on; }
std::int64_t count() { return counted.load(); }
}  // namespace allocationCounter

void* operator new(std::size_t n) { return allocateOrThrow(n, 0); }
void* operator new[](std::size_t n) { return allocateOrThrow(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
