#include "codec/entropy/HuffmanBuilder.h"

#include "codec/entropy/EntropyMessages.h"

namespace kestrava::codec::entropy {

HuffmanBuilder::HuffmanBuilder(KestravaInstanceConfig* config_) : config(config_) {}

bool HuffmanBuilder::configure(std::int32_t r) {
    if (r < 0 || r > (1 << 20)) return false;
    maxMagnitude = r;
    escapeHigh = r + 1;
    escapeLow = -(r + 1);
    tableOffset = r + 1;
    return true;
}

HuffmanNode* HuffmanBuilder::takeNode(HuffmanNode* left, HuffmanNode* right, std::int32_t symbol) {
    if (nodesUsed >= nodeCapacity) return nullptr;
    HuffmanNode& node = nodeStore[std::size_t(nodesUsed++)];
    node.left = left;
    node.right = right;
    node.symbol = symbol;
    node.hasCode = false;
    return &node;
}

bool HuffmanBuilder::buildFromHistogram(std::int32_t n) {
    list.clear();
    nodesUsed = 0;
    root = nullptr;
    const std::int32_t r = maxMagnitude;
    // The header carries 1..16 bins; anything else would index the table outside the alphabet.
    if (n < 1 || n > 16) return false;

    // Leaf appended behind the last entry, weights not looked at; a full list fails silently.
    auto appendLeaf = [&](std::int32_t symbol, std::uint32_t weight) {
        HuffmanNode* node = takeNode(nullptr, nullptr, symbol);
        return node != nullptr && list.append(weight, node);
    };
    for (std::int32_t j = n; j <= r; ++j) {
        if (!appendLeaf(j, 1) || !appendLeaf(-j, 1)) return false;
    }
    if (!appendLeaf(escapeHigh, 1) || !appendLeaf(escapeLow, 1)) return false;
    const std::uint64_t zeroWeight = 2000u * histogram16[0];
    if (!appendLeaf(0, zeroWeight == 0 ? 1u : std::uint32_t(zeroWeight))) return false;

    // Leaves inserted behind every entry of equal weight, so -h lands right behind +h.
    auto insertLeaf = [&](std::int32_t symbol, std::uint32_t weight) {
        HuffmanNode* node = takeNode(nullptr, nullptr, symbol);
        if (node == nullptr || !list.insert(weight, node)) {
            EntropyMessages::logError(config, EntropyMessages::listFull);
            return false;
        }
        return true;
    };
    for (std::int32_t h = 1; h < n; ++h) {
        const std::uint64_t product = 1000u * histogram16[std::size_t(h)];
        const std::uint32_t weight = product == 0 ? 1u : std::uint32_t(product);
        if (!insertLeaf(h, weight) || !insertLeaf(-h, weight)) return false;
        if (h > r) {
            EntropyMessages::postBitstreamError(config);
            EntropyMessages::logError(config, EntropyMessages::turnover);
            return false;
        }
    }

    while (list.size() > 1) {
        const SortedList::Entry a = list.takeFirst();
        const SortedList::Entry b = list.takeFirst();
        HuffmanNode* inner = takeNode(a.node, b.node, 0);
        // Two entries were just removed, so the list has room; only the store can run out.
        if (inner == nullptr || !list.insert(a.weight + b.weight, inner)) return false;
    }
    root = list.takeLast().node;
    assignCodes(root, 0, 0);
    return true;
}

void HuffmanBuilder::assignCodes(HuffmanNode* node, std::uint64_t code, std::uint32_t length) {
    if (!node->isLeaf()) {
        assignCodes(node->left, code * 2u, length + 1u);
        assignCodes(node->right, code * 2u + 1u, length + 1u);
        return;
    }
    node->code = code;
    node->length = length;
    node->hasCode = true;
    codeTable[std::size_t(node->symbol + tableOffset)] = SymbolCode{code, length};
}

}  // namespace kestrava::codec::entropy
