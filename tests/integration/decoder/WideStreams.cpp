#include "WideStreams.h"

#include "StreamBits.h"

#include <algorithm>
#include <queue>

namespace streamdecoder {

std::vector<WideBin> wideBinLayout(std::int32_t rate) {
    const std::int32_t shifted = std::max(rate, 0) >> 6;
    const int k = std::max(2, shifted > 2 ? shifted - 2 : 0);
    std::vector<WideBin> bins;
    int first = 0, before = 1, last = 1;
    while (first <= 254 && bins.size() < 255) {
        int width = 1;
        if (static_cast<int>(bins.size()) > k) {
            width = before + last;
            before = last;
            last = width;
        }
        bins.push_back({first, width});
        first += width;
    }
    return bins;
}

namespace {

struct Node {
    int left = -1, right = -1;
    std::int32_t symbol = 0;
};

struct Tree {
    std::vector<Node> nodes;
    int root = -1;
};

// Leaves in the order of the format (escapes, run escape, then the bins with their weights
// spread along a clipped linear profile), merged lightest first, ties to the older entry.
Tree buildTree(const std::vector<std::uint32_t>& counts, std::uint32_t escapeCount, std::int32_t rate) {
    struct Entry {
        std::uint32_t weight, sequence;
        int node;
        bool operator>(const Entry& o) const {
            return weight != o.weight ? weight > o.weight : sequence > o.sequence;
        }
    };
    Tree t;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
    std::uint32_t s = 0;
    auto leaf = [&](std::int32_t symbol, std::uint32_t weight) {
        t.nodes.push_back({-1, -1, symbol});
        queue.push({weight, s++, static_cast<int>(t.nodes.size()) - 1});
    };
    if (escapeCount > 0) {
        const std::uint32_t w = std::max<std::uint32_t>(1, 1024 * escapeCount - 512);
        leaf(255, w);
        leaf(-255, w);
    }
    leaf(256, 1);
    const std::vector<WideBin> layout = wideBinLayout(rate);
    const std::size_t binCount = std::min(counts.size(), layout.size());
    std::int64_t previous = 0;
    int v = 0;
    for (std::size_t i = 0; i < binCount && v <= 254; ++i) {
        const std::int64_t w = layout[i].width;
        const std::uint32_t c = counts[i];
        if (c == 0) {
            v += static_cast<int>(w);
            previous = 0;
            continue;
        }
        const std::int64_t total = 1024 * std::int64_t{c} - 512;
        const std::int64_t d = total / w;
        std::int64_t next = 0;
        if (i < 253 && i + 1 < counts.size() && counts[i + 1] != 0 && i + 1 < layout.size()) {
            next = (1024 * std::int64_t{counts[i + 1]} - 512) / layout[i + 1].width;
        }
        const std::int64_t h = std::min(std::abs(d - next), std::abs(previous - d)) / 2;
        const std::int64_t left = std::clamp(previous, d - h, d + h);
        const std::int64_t right = std::clamp(next, d - h, d + h);
        const std::int64_t half = w / 2;
        const std::int64_t slopeLeft = (left - d) / std::max<std::int64_t>(1, half);
        const std::int64_t slopeRight = (d - right) / std::max<std::int64_t>(1, w - half);
        int taken = 0;
        for (std::int64_t j = 0; j < w && v + j <= 254; ++j, ++taken) {
            std::int64_t p = 0;
            if (w == 1) p = total;
            else if (j < half) p = left - std::min(slopeLeft * j, left);
            else p = d - std::min(slopeRight * j, d);
            if (i == 0) {
                leaf(0, static_cast<std::uint32_t>(std::max<std::int64_t>(1, 2048 * std::int64_t{c} - 1024)));
            } else {
                const auto weight = static_cast<std::uint32_t>(std::max<std::int64_t>(1, p));
                leaf(static_cast<std::int32_t>(v + j), weight);
                leaf(-static_cast<std::int32_t>(v + j), weight);
            }
        }
        v += taken;
        previous = d;
    }
    while (queue.size() > 1) {
        const Entry a = queue.top();
        queue.pop();
        const Entry b = queue.top();
        queue.pop();
        t.nodes.push_back({a.node, b.node, 0});
        queue.push({std::max<std::uint32_t>(1, a.weight + b.weight), s++, static_cast<int>(t.nodes.size()) - 1});
    }
    t.root = queue.top().node;
    return t;
}

void collect(const Tree& t, int at, const std::string& code, std::map<std::int32_t, std::string>& out) {
    if (t.nodes[at].left < 0) {
        out[t.nodes[at].symbol] = code.empty() ? "0" : code;
        return;
    }
    collect(t, t.nodes[at].left, code + "0", out);
    collect(t, t.nodes[at].right, code + "1", out);
}

std::int32_t readSymbol(const Tree& t, StreamBits& bits) {
    int at = t.root;
    if (t.nodes[at].left < 0) {
        bits.bit();  // a lone leaf still takes one bit
        return t.nodes[at].symbol;
    }
    while (t.nodes[at].left >= 0) at = bits.bit() == 0 ? t.nodes[at].left : t.nodes[at].right;
    return t.nodes[at].symbol;
}

}  // namespace

std::map<std::int32_t, std::string> wideCodes(const std::vector<std::uint32_t>& binCounts, std::uint32_t escapeCount,
                                              std::int32_t rate) {
    const Tree t = buildTree(binCounts, escapeCount, rate);
    std::map<std::int32_t, std::string> out;
    collect(t, t.root, "", out);
    return out;
}

DecodedStream decodeWideStream(const std::uint8_t* data, std::size_t size, std::size_t count, std::int32_t rate,
                               int countBits, int escapeBits) {
    StreamBits bits(data, size);
    const auto last = static_cast<std::size_t>(bits.bits(8));
    if (last > 254) throw std::out_of_range("last bin beyond the table");
    std::vector<std::uint32_t> counts(last + 1);
    for (auto& c : counts) c = static_cast<std::uint32_t>(bits.bits(countBits));
    const auto escapes = static_cast<std::uint32_t>(bits.bits(countBits));
    const Tree tree = buildTree(counts, escapes, rate);
    DecodedStream out;
    out.values.reserve(count);
    while (out.values.size() < count) {
        const std::int32_t symbol = readSymbol(tree, bits);
        if (symbol == 256) {
            int j = 0;
            while (bits.bit() == 1) {
                if (++j > 40) throw std::out_of_range("run field too long");
            }
            std::uint64_t run = 5, after = 8;
            for (int i = 0; i < j; ++i) {
                const std::uint64_t sum = run + after;
                run = after;
                after = sum;
            }
            if (run > count - out.values.size()) throw std::out_of_range("run beyond the stream");
            out.values.insert(out.values.end(), run, 0);
        } else if (symbol == 255) {
            out.values.push_back(static_cast<std::int32_t>(bits.bits(escapeBits)));
        } else if (symbol == -255) {
            out.values.push_back(static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(bits.bits(escapeBits))));
        } else {
            out.values.push_back(symbol);
        }
    }
    out.bytes = bits.bytesUsed();
    return out;
}

}  // namespace streamdecoder
