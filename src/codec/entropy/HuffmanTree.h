#pragma once

#include "codec/entropy/HuffmanNode.h"
#include "codec/entropy/HuffmanQueueEntry.h"
#include "codec/entropy/SymbolCode.h"

#include <boost/container/static_vector.hpp>

#include <array>
#include <cstdint>

class KestravaInstanceConfig;

namespace kestrava::codec::entropy {

// Code of the streams of codec versions 1 and later, built from the scaled counts of the wide
// histogram alone: every magnitude of a non-empty bin gets a weight from a clipped linear profile
// of the bin, both signs alike; the escapes +-255 and the run escape 256 join. Every integer step,
// the order of the leaves and the tie-breaks are part of the stream format.
class HuffmanTree {
public:
    static constexpr std::int32_t tableOffset = 255;  // entry of symbol s: s + 255
    static constexpr std::int32_t tableSize = 513;    // symbols -255..257
    static constexpr std::int32_t runEscape = 256;
    static constexpr std::uint32_t capacity = 1025;

    // Rebuilds codeTable from scaled counts of bins 0..binCount-1 and the scaled escape count.
    // False (and the table cleared) when the capacity guard refused a leaf, which the symbol
    // set cannot reach; the refusal is logged.
    bool build(const std::uint32_t* binCounts, std::uint32_t escapeCount, std::uint32_t binCount, std::int32_t rate,
               bool withRunEscape, KestravaInstanceConfig* config);

    const SymbolCode& codeOf(std::int32_t symbol) const { return codeTable[std::size_t(symbol + tableOffset)]; }

    std::array<SymbolCode, tableSize> codeTable{};
    std::uint32_t nodesUsed = 0;

private:
    HuffmanNode* takeNode(HuffmanNode* left, HuffmanNode* right, std::int32_t symbol);
    void push(std::uint32_t weight, HuffmanNode* node, std::uint32_t sequence);
    HuffmanQueueEntry pop();
    // The merges of the queue's leaves in the heap's order when no sum can wrap; false when the
    // node store ran out.
    bool mergeInOrder(std::uint32_t sequence, HuffmanNode*& root);
    void assignCodes(HuffmanNode* node, std::uint64_t code, std::uint32_t length);

    std::array<HuffmanNode, capacity> nodeStore{};
    boost::container::static_vector<HuffmanQueueEntry, capacity> queue;
    boost::container::static_vector<HuffmanQueueEntry, capacity> merged;
    // Leaves of equal weight with consecutive sequences (a value and its negative, a flat stretch
    // of a bin) stay together in the queue's order, so they are sorted as one.
    struct LeafRun {
        std::uint32_t weight;
        std::uint32_t sequence;
        std::uint32_t start;
        std::uint32_t length;
    };
    boost::container::static_vector<LeafRun, capacity> runs;
};

}  // namespace kestrava::codec::entropy
