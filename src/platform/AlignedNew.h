#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace kestrava {

// Base of large DSP, codec and transport objects: they are allocated 64-byte aligned.
// A failed allocation prints "Memory allocation of size %d failed.\n" on standard error and the
// new-expression yields a null pointer (the constructor does not run), so the object stays missing
// and its owner must test for it.
class AlignedNew {
public:
    static constexpr std::size_t alignment = 64;

    static void* operator new(std::size_t size) noexcept;
    static void* operator new[](std::size_t size) noexcept;
    static void operator delete(void* p) noexcept;
    static void operator delete[](void* p) noexcept;
};

// 64-byte aligned raw allocation with the same failure report; free with alignedFree.
void* alignedAlloc(std::size_t size) noexcept;
void alignedFree(void* p) noexcept;

// Builds a T (derived from AlignedNew) into a shared pointer; empty when the allocation failed.
template <class T, class... Args>
std::shared_ptr<T> makeAligned(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    if (object == nullptr) return {};
    return std::shared_ptr<T>(object);
}

}  // namespace kestrava
