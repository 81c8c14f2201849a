#include "codec/entropy/StreamDecoder.h"

#include <algorithm>
#include <functional>

namespace streamtest {

std::uint64_t BitReader::read(unsigned width) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        if (position >= size * 8) {
            overrun = true;
            return 0;
        }
        const unsigned bit = (data[position / 8] >> (7 - position % 8)) & 1u;
        value = (value << 1) | bit;
        ++position;
    }
    return value;
}

std::optional<int> CodeTree::readSymbol(BitReader& reader) const {
    if (root < 0) return std::nullopt;
    int at = root;
    if (nodes[std::size_t(at)].left < 0) {  // a lone leaf has the one-bit code 0
        if (reader.read(1) != 0 || reader.failed()) return std::nullopt;
        return nodes[std::size_t(at)].symbol;
    }
    while (nodes[std::size_t(at)].left >= 0) {
        const std::uint64_t bit = reader.read(1);
        if (reader.failed()) return std::nullopt;
        at = bit == 0 ? nodes[std::size_t(at)].left : nodes[std::size_t(at)].right;
    }
    return nodes[std::size_t(at)].symbol;
}

std::map<int, std::string> CodeTree::codes() const {
    std::map<int, std::string> out;
    std::function<void(int, std::string)> walk = [&](int at, std::string prefix) {
        const Node& node = nodes[std::size_t(at)];
        if (node.left < 0) {
            out[node.symbol] = prefix.empty() ? "0" : prefix;
            return;
        }
        walk(node.left, prefix + "0");
        walk(node.right, prefix + "1");
    };
    if (root >= 0) walk(root, "");
    return out;
}

namespace {

// Padding up to the byte boundary must be zero bits.
bool endOfStream(BitReader& reader) {
    const std::size_t pad = (8 - reader.bitPosition() % 8) % 8;
    const std::uint64_t bits = reader.read(unsigned(pad));
    return !reader.failed() && bits == 0;
}

int leaf(CodeTree& tree, int symbol) {
    tree.nodes.push_back({-1, -1, symbol});
    return int(tree.nodes.size()) - 1;
}

int join(CodeTree& tree, int left, int right) {
    tree.nodes.push_back({left, right, 0});
    return int(tree.nodes.size()) - 1;
}

}  // namespace

CodeTree buildLegacyTree(int r, const std::vector<unsigned>& counts) {
    CodeTree tree;
    const int n = int(counts.size());
    struct Item {
        std::uint32_t weight;
        int node;
    };
    std::vector<Item> list;
    // Behind every item of equal or smaller weight.
    auto insertSorted = [&](std::uint32_t weight, int node) {
        auto at = std::upper_bound(list.begin(), list.end(), weight,
                                   [](std::uint32_t w, const Item& item) { return w < item.weight; });
        list.insert(at, Item{weight, node});
    };
    for (int j = n; j <= r; ++j) {
        list.push_back({1, leaf(tree, j)});
        list.push_back({1, leaf(tree, -j)});
    }
    list.push_back({1, leaf(tree, r + 1)});
    list.push_back({1, leaf(tree, -(r + 1))});
    list.push_back({counts[0] == 0 ? 1u : 2000u * counts[0], leaf(tree, 0)});
    for (int h = 1; h < n; ++h) {
        const std::uint32_t w = counts[std::size_t(h)] == 0 ? 1u : 1000u * counts[std::size_t(h)];
        insertSorted(w, leaf(tree, h));
        insertSorted(w, leaf(tree, -h));
    }
    while (list.size() > 1) {
        const Item a = list[0];
        const Item b = list[1];
        list.erase(list.begin(), list.begin() + 2);
        insertSorted(a.weight + b.weight, join(tree, a.node, b.node));
    }
    tree.root = list[0].node;
    return tree;
}

std::optional<std::vector<std::int32_t>> decodeLegacy(BitReader& reader, std::size_t count, int r, int escapeWidth,
                                                      bool aux) {
    const int n = int(reader.read(4)) + 1;
    std::vector<unsigned> counts;
    for (int i = 0; i < n; ++i) counts.push_back(unsigned(reader.read(4)));
    if (reader.failed() || n > r + 1) return std::nullopt;
    const CodeTree tree = buildLegacyTree(r, counts);
    std::vector<std::int32_t> values;
    while (values.size() < count) {
        const auto symbol = tree.readSymbol(reader);
        if (!symbol) return std::nullopt;
        std::int64_t value = *symbol;
        if (*symbol == r + 1) value = std::int64_t(reader.read(unsigned(escapeWidth)));
        if (*symbol == -(r + 1)) value = -std::int64_t(reader.read(unsigned(escapeWidth)));
        values.push_back(std::int32_t(value));
        if (aux && value == 0 && values.size() < count) {
            unsigned ones = 0;
            while (reader.read(1) == 1 && !reader.failed()) ++ones;
            if (ones > 0) values.insert(values.end(), std::size_t{1} << (ones - 1), 0);
        }
        if (reader.failed() || values.size() > count) return std::nullopt;
    }
    if (!endOfStream(reader)) return std::nullopt;
    return values;
}

std::vector<WideBin> wideLayout(int rate) {
    const int shifted = std::max(rate, 0) >> 6;
    const int k = std::max(2, std::max(0, shifted - 2));
    std::vector<WideBin> bins;
    unsigned next = 0;
    while (next <= 254 && bins.size() < 255) {
        unsigned width = 1;
        if (int(bins.size()) > k) width = bins[bins.size() - 1].width + bins[bins.size() - 2].width;
        bins.push_back({next, width});
        next += width;
    }
    return bins;
}

CodeTree buildWideTree(int rate, const std::vector<unsigned>& counts, unsigned escapeCount) {
    CodeTree tree;
    struct Open {
        std::uint32_t weight;
        std::uint32_t sequence;
        int node;
    };
    std::vector<Open> open;
    std::uint32_t sequence = 0;
    auto add = [&](int symbol, long long weight) {
        open.push_back({std::uint32_t(std::max(1LL, weight)), sequence++, leaf(tree, symbol)});
    };
    if (escapeCount > 0) {
        add(255, 1024LL * escapeCount - 512);
        add(-255, 1024LL * escapeCount - 512);
    }
    add(256, 1);

    const std::vector<WideBin> bins = wideLayout(rate);
    auto density = [&](std::size_t i) -> long long {
        if (i >= counts.size() || counts[i] == 0) return 0;
        return (1024LL * counts[i] - 512) / (long long)bins[i].width;
    };
    long long previousDensity = 0;
    for (std::size_t i = 0; i < counts.size() && i < bins.size(); ++i) {
        const long long c = counts[i];
        const long long width = bins[i].width;
        if (c == 0) {
            previousDensity = 0;
            continue;
        }
        const long long total = 1024 * c - 512;
        const long long d = total / width;
        const long long nextDensity = i >= 253 ? 0 : density(i + 1);
        const long long h = std::min(std::llabs(d - nextDensity), std::llabs(previousDensity - d)) / 2;
        const long long leftEdge = std::clamp(previousDensity, d - h, d + h);
        const long long rightEdge = std::clamp(nextDensity, d - h, d + h);
        const long long half = width / 2;
        const long long slopeLeft = (leftEdge - d) / std::max(1LL, half);
        const long long slopeRight = (d - rightEdge) / std::max(1LL, width - half);
        for (long long j = 0; j < width; ++j) {
            const long long magnitude = bins[i].first + j;
            if (magnitude > 254) break;
            if (magnitude == 0) {
                add(0, 2048 * c - 1024);
                continue;
            }
            long long p = 0;
            if (width == 1) {
                p = total;
            } else if (j < half) {
                p = leftEdge - std::min(slopeLeft * j, leftEdge);
            } else {
                p = d - std::min(slopeRight * j, d);
            }
            add(int(magnitude), p);
            add(-int(magnitude), p);
        }
        previousDensity = d;
    }

    auto takeLightest = [&]() {
        auto lightest = std::min_element(open.begin(), open.end(), [](const Open& a, const Open& b) {
            return a.weight != b.weight ? a.weight < b.weight : a.sequence < b.sequence;
        });
        const Open taken = *lightest;
        open.erase(lightest);
        return taken;
    };
    while (open.size() > 1) {
        const Open a = takeLightest();
        const Open b = takeLightest();
        open.push_back({std::max<std::uint32_t>(1, a.weight + b.weight), sequence++, join(tree, a.node, b.node)});
    }
    tree.root = open[0].node;
    return tree;
}

std::optional<std::vector<std::int32_t>> decodeRunLength(BitReader& reader, std::size_t count, int rate,
                                                         unsigned countBits, int escapeBits) {
    const unsigned last = unsigned(reader.read(8));
    std::vector<unsigned> counts;
    for (unsigned i = 0; i <= last; ++i) counts.push_back(unsigned(reader.read(countBits)));
    const unsigned escapes = unsigned(reader.read(countBits));
    if (reader.failed()) return std::nullopt;
    const CodeTree tree = buildWideTree(rate, counts, escapes);
    std::vector<std::int32_t> values;
    while (values.size() < count) {
        const auto symbol = tree.readSymbol(reader);
        if (!symbol) return std::nullopt;
        if (*symbol == 256) {
            unsigned position = 0;
            while (reader.read(1) == 1 && !reader.failed()) ++position;
            std::size_t run = 5, following = 8;
            for (unsigned i = 0; i < position; ++i) {
                const std::size_t sum = run + following;
                run = following;
                following = sum;
            }
            values.insert(values.end(), run, 0);
        } else if (*symbol == 255) {
            values.push_back(std::int32_t(reader.read(unsigned(escapeBits))));
        } else if (*symbol == -255) {
            values.push_back(std::int32_t(-std::int64_t(reader.read(unsigned(escapeBits)))));
        } else {
            values.push_back(*symbol);
        }
        if (reader.failed() || values.size() > count) return std::nullopt;
    }
    if (!endOfStream(reader)) return std::nullopt;
    return values;
}

}  // namespace streamtest
