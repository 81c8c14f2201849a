#include "platform/AlignedNew.h"

#include <cstdio>
#include <cstdlib>

namespace kestrava {

void* alignedAlloc(std::size_t size) noexcept {
    // aligned_alloc wants a size that is a multiple of the alignment.
    std::size_t rounded = (size + AlignedNew::alignment - 1) / AlignedNew::alignment * AlignedNew::alignment;
    if (rounded == 0) rounded = AlignedNew::alignment;
    void* p = rounded < size ? nullptr : std::aligned_alloc(AlignedNew::alignment, rounded);
    if (p == nullptr) {
        std::fprintf(stderr, "Memory allocation of size %d failed.\n", static_cast<int>(size));
    }
    return p;
}

void alignedFree(void* p) noexcept { std::free(p); }

void* AlignedNew::operator new(std::size_t size) noexcept { return alignedAlloc(size); }
void* AlignedNew::operator new[](std::size_t size) noexcept { return alignedAlloc(size); }
void AlignedNew::operator delete(void* p) noexcept { alignedFree(p); }
void AlignedNew::operator delete[](void* p) noexcept { alignedFree(p); }

}  // namespace kestrava
