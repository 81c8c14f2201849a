#pragma once

#include <cstdint>

namespace kestrava::codec::entropy {

// One node of a code tree: a leaf has no children and carries its symbol and, once assigned,
// its code; an inner node has both children and symbol 0.
struct HuffmanNode {
    HuffmanNode* left = nullptr;
    HuffmanNode* right = nullptr;
    std::int32_t symbol = 0;
    std::uint64_t code = 0;
    std::uint32_t length = 0;
    bool hasCode = false;

    bool isLeaf() const { return left == nullptr && right == nullptr; }
};

}  // namespace kestrava::codec::entropy
