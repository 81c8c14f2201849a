#pragma once

#include "codec/entropy/HuffmanNode.h"

#include <cstdint>

namespace kestrava::codec::entropy {

// An open subtree of the wide tree build. Sequences are unique within a build, so the queue
// order (weight, then sequence) is total and independent of the heap's layout.
struct HuffmanQueueEntry {
    std::uint32_t weight = 0;
    HuffmanNode* node = nullptr;
    std::uint32_t sequence = 0;
};

// "a comes after b": the heap's top is the smallest weight, of equal weights the smallest sequence.
struct HuffmanQueueOrder {
    bool operator()(const HuffmanQueueEntry& a, const HuffmanQueueEntry& b) const {
        return a.weight > b.weight || (a.weight == b.weight && a.sequence > b.sequence);
    }
};

}  // namespace kestrava::codec::entropy
