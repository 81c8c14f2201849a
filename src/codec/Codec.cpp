#include "codec/Codec.h"

#include "platform/AlignedNew.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace kestrava::codec {

template <class T, int N>
void* Codec<T, N>::defaultAllocate(std::size_t size) {
    const std::size_t alignment = kestrava::AlignedNew::alignment;
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    return std::aligned_alloc(alignment, rounded);
}

template <class T, int N>
Codec<T, N>::Codec(KestravaInstanceConfig* config, Allocate allocate) : config(config) {
    for (std::shared_ptr<QuantizerType>& handle : quantizers) {
        void* storage = allocate(sizeof(QuantizerType));
        if (storage == nullptr) {
            std::fprintf(stderr, "Memory allocation of size %d failed.\n", static_cast<int>(sizeof(QuantizerType)));
            continue;
        }
        // If the handle's bookkeeping cannot be allocated, shared_ptr frees the record through the
        // deleter and the exception leaves the constructor; the handles built so far release theirs.
        handle = std::shared_ptr<QuantizerType>(new (storage) QuantizerType(), [](QuantizerType* q) {
            q->~QuantizerType();
            kestrava::alignedFree(q);
        });
    }
}

template <class T, int N>
Codec<T, N>::~Codec() {
    quantizers[1].reset();
    quantizers[0].reset();
}

template <class T, int N>
void Codec<T, N>::initTables(LevelClass<T>* classes) {
    fillLevelClasses(classes);
}

template class Codec<double, 0>;
template class Codec<float, 4>;

}  // namespace kestrava::codec
