#pragma once

#include "codec/entropy/BitWriter.h"
#include "codec/entropy/HuffmanNode.h"
#include "codec/entropy/SortedList.h"
#include "codec/entropy/SymbolCode.h"

#include <array>
#include <cstdint>

class KestravaInstanceConfig;

namespace kestrava::codec::entropy {

// The code of the codec-version-0 streams: alphabet -(r+1)..r+1 whose outermost symbols are the
// escapes, a 16-bin histogram of magnitudes and the Huffman code built from its scaled counts.
// The build's order and tie-breaks are part of the stream format.
class HuffmanBuilder {
public:
    // The largest r whose 2r + 3 leaves fit the list; larger alphabets fail every build.
    static constexpr std::int32_t largestMagnitude = (SortedList::capacity - 3) / 2;
    static constexpr std::int32_t tableCapacity = 2 * largestMagnitude + 3;
    static constexpr std::int32_t nodeCapacity = 4 * largestMagnitude + 5;
    static_assert(tableCapacity == SortedList::capacity);

    explicit HuffmanBuilder(KestravaInstanceConfig* config);

    // Sets r, the escapes and the table offset. False (nothing changed) for r outside
    // 0..2^20: such an alphabet cannot be meant and would overflow the symbol arithmetic.
    bool configure(std::int32_t maxMagnitude);

    // Builds the code from bins 0..n-1 of histogram16 (1 <= n <= 16). False when it fails:
    // root null, codeTable untouched.
    bool buildFromHistogram(std::int32_t n);

    // Code of symbol s (escapeLow <= s <= escapeHigh), valid after a successful build.
    const SymbolCode& codeOf(std::int32_t symbol) const { return codeTable[std::size_t(symbol + tableOffset)]; }

    KestravaInstanceConfig* const config;
    std::int32_t maxMagnitude = 0;
    std::int32_t escapeHigh = 0;
    std::int32_t escapeLow = 0;
    std::int32_t tableOffset = 0;
    std::array<std::uint64_t, 16> histogram16{};
    HuffmanNode* root = nullptr;
    std::array<SymbolCode, tableCapacity> codeTable{};
    std::array<HuffmanNode, nodeCapacity> nodeStore{};
    BitWriter writer;
    std::int32_t nodesUsed = 0;
    std::int32_t escapeWidth = 0;

private:
    HuffmanNode* takeNode(HuffmanNode* left, HuffmanNode* right, std::int32_t symbol);
    void assignCodes(HuffmanNode* node, std::uint64_t code, std::uint32_t length);

    SortedList list;
};

}  // namespace kestrava::codec::entropy
