#include "codec/entropy/HuffmanTree.h"

#include "codec/entropy/EntropyMessages.h"
#include "codec/entropy/WideBinLayout.h"

#include <algorithm>

namespace kestrava::codec::entropy {

namespace {

std::int64_t clampTo(std::int64_t x, std::int64_t low, std::int64_t high) { return x < low ? low : (x > high ? high : x); }

std::int64_t absolute(std::int64_t x) { return x < 0 ? -x : x; }

std::uint32_t atLeastOne(std::int64_t x) { return x < 1 ? 1u : std::uint32_t(x); }

}  // namespace

HuffmanNode* HuffmanTree::takeNode(HuffmanNode* left, HuffmanNode* right, std::int32_t symbol) {
    if (nodesUsed >= capacity) return nullptr;
    HuffmanNode& node = nodeStore[nodesUsed++];
    node.left = left;
    node.right = right;
    node.symbol = symbol;
    node.code = 0;
    node.length = 0;
    node.hasCode = false;
    return &node;
}

void HuffmanTree::push(std::uint32_t weight, HuffmanNode* node, std::uint32_t sequence) {
    queue.push_back(HuffmanQueueEntry{weight, node, sequence});
    std::push_heap(queue.begin(), queue.end(), HuffmanQueueOrder{});
}

HuffmanQueueEntry HuffmanTree::pop() {
    std::pop_heap(queue.begin(), queue.end(), HuffmanQueueOrder{});
    const HuffmanQueueEntry first = queue.back();
    queue.pop_back();
    return first;
}

bool HuffmanTree::build(const std::uint32_t* binCounts, std::uint32_t escapeCount, std::uint32_t binCount,
                        std::int32_t rate, bool withRunEscape, KestravaInstanceConfig* config) {
    queue.clear();
    nodesUsed = 0;
    std::uint32_t s = 0;
    bool refused = false;

    // The guard leaves room for the inner nodes; a refused leaf ends the adding of value leaves.
    auto addLeaf = [&](std::int32_t symbol, std::uint32_t weight) {
        HuffmanNode* node = takeNode(nullptr, nullptr, symbol);
        if (node == nullptr) return false;
        queue.push_back(HuffmanQueueEntry{weight, node, s++});  // ordered once all are in
        return true;
    };
    auto addPair = [&](std::int32_t magnitude, std::uint32_t weight) {
        if (refused || queue.size() >= capacity - 2) {
            refused = true;
            return;
        }
        if (!addLeaf(magnitude, weight) || !addLeaf(-magnitude, weight)) refused = true;
    };

    if (escapeCount > 0) addPair(255, atLeastOne(1024 * std::int64_t(escapeCount) - 512));
    if (withRunEscape) {
        if (queue.size() >= capacity || !addLeaf(runEscape, 1)) refused = true;
    }

    const WideBinLayout layout(rate);
    const std::uint32_t bins = std::min<std::uint32_t>(binCount, std::uint32_t(layout.binCount));
    std::int64_t v = 0;
    std::int64_t previous = 0;  // P: density of the bin before
    for (std::uint32_t i = 0; i < bins && v < WideBinLayout::magnitudeLimit; ++i) {
        const std::int64_t w = layout.width[i];
        const std::int64_t c = binCounts[i];
        if (c == 0) {
            v += w;
            previous = 0;
            continue;
        }
        const std::int64_t t = 1024 * c - 512;
        const std::int64_t d = t / w;
        std::int64_t next = 0;
        // Bins past binCount count as empty, as a decoder that read binCount counts sees them.
        if (i < 253 && i + 1 < binCount && binCounts[i + 1] != 0) {
            const std::int64_t nextWidth = i + 1 < std::uint32_t(layout.binCount) ? layout.width[i + 1] : 1;
            next = (1024 * std::int64_t(binCounts[i + 1]) - 512) / nextWidth;
        }
        const std::int64_t h = std::min(absolute(d - next), absolute(previous - d)) / 2;
        const std::int64_t leftEdge = clampTo(previous, d - h, d + h);
        const std::int64_t rightEdge = clampTo(next, d - h, d + h);
        const std::int64_t half = w / 2;
        const std::int64_t slopeLeft = (leftEdge - d) / std::max<std::int64_t>(1, half);
        const std::int64_t slopeRight = (d - rightEdge) / std::max<std::int64_t>(1, w - half);
        std::int64_t taken = 0;
        for (std::int64_t j = 0; j < w && v + j < WideBinLayout::magnitudeLimit; ++j) {
            ++taken;
            if (i == 0) {
                if (refused || queue.size() >= capacity - 1 || !addLeaf(0, atLeastOne(2048 * c - 1024))) refused = true;
                continue;
            }
            std::int64_t p;
            if (w == 1) {
                p = t;
            } else if (j < half) {
                p = leftEdge - std::min(slopeLeft * j, leftEdge);
            } else {
                p = d - std::min(slopeRight * j, d);
            }
            addPair(std::int32_t(v + j), atLeastOne(p));
        }
        v += taken;
        previous = d;
    }

    codeTable.fill(SymbolCode{});
    if (refused) {
        EntropyMessages::logError(config, EntropyMessages::listFull);
        queue.clear();
        return false;
    }
    std::uint64_t total = 0;
    for (const HuffmanQueueEntry& e : queue) total += e.weight;
    if (total <= 0xFFFFFFFFu) {
        HuffmanNode* root = nullptr;
        if (!mergeInOrder(s, root)) return false;
        if (root != nullptr) assignCodes(root, 0, 0);
        return true;
    }
    // Sums that may wrap: merged weights can then fall, so only the heap keeps the order.
    std::make_heap(queue.begin(), queue.end(), HuffmanQueueOrder{});
    while (queue.size() > 1) {
        const HuffmanQueueEntry a = pop();
        const HuffmanQueueEntry b = pop();
        HuffmanNode* inner = takeNode(a.node, b.node, 0);
        if (inner == nullptr) {  // cannot happen: n leaves need n - 1 inner nodes
            queue.clear();
            return false;
        }
        push(atLeastOne(std::int64_t(a.weight) + b.weight), inner, s++);
    }
    if (queue.empty()) return true;  // no leaves at all: nothing to code
    assignCodes(pop().node, 0, 0);
    return true;
}

bool HuffmanTree::mergeInOrder(std::uint32_t sequence, HuffmanNode*& root) {
    // Without wrapping, each merged weight is at least the one before and sequences only grow, so
    // the merged nodes come out ordered as they are made; with the leaves sorted once, the smaller
    // of the two queue fronts is always the heap's top.
    const HuffmanQueueOrder after;
    // The leaves were queued in sequence order.
    runs.clear();
    for (std::uint32_t i = 0; i < queue.size(); ++i) {
        const HuffmanQueueEntry& e = queue[i];
        if (!runs.empty()) {
            LeafRun& last = runs.back();
            if (e.weight == last.weight && e.sequence == last.sequence + last.length) {
                ++last.length;
                continue;
            }
        }
        runs.push_back(LeafRun{e.weight, e.sequence, i, 1});
    }
    std::sort(runs.begin(), runs.end(), [](const LeafRun& a, const LeafRun& b) {
        return a.weight < b.weight || (a.weight == b.weight && a.sequence < b.sequence);
    });
    merged.clear();
    for (const LeafRun& run : runs) merged.insert(merged.end(), queue.begin() + run.start, queue.begin() + run.start + run.length);
    std::copy(merged.begin(), merged.end(), queue.begin());
    merged.clear();
    std::size_t leaf = 0;
    std::size_t inner = 0;
    auto takeSmallest = [&]() {
        if (inner == merged.size() || (leaf < queue.size() && !after(queue[leaf], merged[inner]))) return queue[leaf++];
        return merged[inner++];
    };
    while ((queue.size() - leaf) + (merged.size() - inner) > 1) {
        const HuffmanQueueEntry a = takeSmallest();
        const HuffmanQueueEntry b = takeSmallest();
        HuffmanNode* node = takeNode(a.node, b.node, 0);
        if (node == nullptr) {  // cannot happen: n leaves need n - 1 inner nodes
            queue.clear();
            return false;
        }
        merged.push_back(HuffmanQueueEntry{a.weight + b.weight, node, sequence++});
    }
    root = leaf < queue.size() ? queue[leaf].node : (inner < merged.size() ? merged[inner].node : nullptr);
    queue.clear();
    return true;
}

void HuffmanTree::assignCodes(HuffmanNode* node, std::uint64_t code, std::uint32_t length) {
    if (!node->isLeaf()) {
        assignCodes(node->left, code * 2u, length + 1u);
        assignCodes(node->right, code * 2u + 1u, length + 1u);
        return;
    }
    if (length == 0) length = 1;  // a lone leaf still needs one bit
    node->code = code;
    node->length = length;
    node->hasCode = true;
    codeTable[std::size_t(node->symbol + tableOffset)] = SymbolCode{code, length};
}

}  // namespace kestrava::codec::entropy
