#include "LegacyStreams.h"

#include "StreamBits.h"

#include <algorithm>
#include <memory>

namespace streamdecoder {

namespace {

struct Node {
    int left = -1, right = -1;
    std::int32_t symbol = 0;
};

struct Tree {
    std::vector<Node> nodes;
    int root = -1;
};

// The code of a header: weight-1 leaves for the magnitudes without a count and the escapes in
// that order, then 0 and the counted magnitudes by weight (a new entry behind its equals), then
// repeated merging of the two lightest; the first of a pair takes the 0 bit.
Tree buildTree(const std::vector<int>& counts, int r) {
    struct Entry {
        std::uint32_t weight;
        int node;
    };
    Tree t;
    std::vector<Entry> list;
    auto leaf = [&](std::int32_t symbol) {
        t.nodes.push_back({-1, -1, symbol});
        return static_cast<int>(t.nodes.size()) - 1;
    };
    auto insert = [&](std::uint32_t weight, int node) {
        const auto at = std::upper_bound(list.begin(), list.end(), weight,
                                         [](std::uint32_t w, const Entry& e) { return w < e.weight; });
        list.insert(at, {weight, node});
    };
    const int n = static_cast<int>(counts.size());
    for (int j = n; j <= r; ++j) {
        list.push_back({1, leaf(j)});
        list.push_back({1, leaf(-j)});
    }
    list.push_back({1, leaf(r + 1)});
    list.push_back({1, leaf(-(r + 1))});
    list.push_back({std::max<std::uint32_t>(1, 2000u * static_cast<std::uint32_t>(counts[0])), leaf(0)});
    for (int h = 1; h < n; ++h) {
        const std::uint32_t w = std::max<std::uint32_t>(1, 1000u * static_cast<std::uint32_t>(counts[h]));
        insert(w, leaf(h));
        insert(w, leaf(-h));
    }
    while (list.size() > 1) {
        const Entry a = list[0], b = list[1];
        list.erase(list.begin(), list.begin() + 2);
        t.nodes.push_back({a.node, b.node, 0});
        insert(a.weight + b.weight, static_cast<int>(t.nodes.size()) - 1);
    }
    t.root = list[0].node;
    return t;
}

std::int32_t readSymbol(const Tree& t, StreamBits& bits) {
    int at = t.root;
    while (t.nodes[at].left >= 0) at = bits.bit() == 0 ? t.nodes[at].left : t.nodes[at].right;
    return t.nodes[at].symbol;
}

void collect(const Tree& t, int at, std::uint64_t code, int length, std::vector<LegacyCode>& out) {
    if (t.nodes[at].left < 0) {
        out.push_back({t.nodes[at].symbol, code, length});
        return;
    }
    collect(t, t.nodes[at].left, code * 2, length + 1, out);
    collect(t, t.nodes[at].right, code * 2 + 1, length + 1, out);
}

}  // namespace

std::vector<LegacyCode> legacyCodes(const std::vector<int>& counts, int r) {
    const Tree t = buildTree(counts, r);
    std::vector<LegacyCode> out;
    collect(t, t.root, 0, 0, out);
    std::sort(out.begin(), out.end(), [](const LegacyCode& a, const LegacyCode& b) { return a.symbol < b.symbol; });
    return out;
}

DecodedStream decodeLegacyStream(const std::uint8_t* data, std::size_t size, std::size_t count, int r,
                                 int escapeWidth, bool thirdChannel) {
    StreamBits bits(data, size);
    std::vector<int> counts(bits.bits(4) + 1);
    for (int& c : counts) c = static_cast<int>(bits.bits(4));
    if (static_cast<int>(counts.size()) > r + 1) throw std::out_of_range("header counts beyond the alphabet");
    const Tree tree = buildTree(counts, r);
    DecodedStream out;
    out.values.reserve(count);
    while (out.values.size() < count) {
        std::int32_t v = readSymbol(tree, bits);
        if (v == r + 1) v = static_cast<std::int32_t>(bits.bits(escapeWidth));
        else if (v == -(r + 1)) v = -static_cast<std::int32_t>(bits.bits(escapeWidth));
        out.values.push_back(v);
        if (thirdChannel && v == 0 && out.values.size() < count) {
            int ones = 0;
            while (bits.bit() == 1) {
                if (++ones > 31) throw std::out_of_range("run code too long");
            }
            if (ones > 0) {
                const std::size_t covered = std::size_t{1} << (ones - 1);
                if (covered > count - out.values.size()) throw std::out_of_range("run beyond the stream");
                out.values.insert(out.values.end(), covered, 0);
            }
        }
    }
    out.bytes = bits.bytesUsed();
    return out;
}

}  // namespace streamdecoder
