#pragma once

// Test-side readers of the entropy-coded streams, written from the stream description alone:
// they share no code with the encoder. Each reads one stream at a byte position, returns the
// values and leaves the reader at the next byte boundary.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace streamtest {

class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size, std::size_t bytePosition = 0)
        : data(data), size(size), position(bytePosition * 8) {}

    // Reads `width` bits, most significant first; sets failed() past the end.
    std::uint64_t read(unsigned width);
    void alignToByte() { position = (position + 7) / 8 * 8; }
    std::size_t bytePosition() const { return position / 8; }
    std::size_t bitPosition() const { return position; }
    bool failed() const { return overrun; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
    bool overrun = false;
};

// A code tree held as nodes in a vector; node 0 is the root after a build.
struct CodeTree {
    struct Node {
        int left = -1, right = -1;
        int symbol = 0;
    };
    std::vector<Node> nodes;
    int root = -1;

    // Walks the tree from the reader; nullopt on a broken stream.
    std::optional<int> readSymbol(BitReader& reader) const;
    // Symbol -> code text of '0'/'1' for checks.
    std::map<int, std::string> codes() const;
};

// Legacy (codec version 0) code from a header: r, the 16-bin counts and their number n.
CodeTree buildLegacyTree(int r, const std::vector<unsigned>& counts);

// Reads one legacy stream of `count` values; aux adds the third channel's run codes.
std::optional<std::vector<std::int32_t>> decodeLegacy(BitReader& reader, std::size_t count, int r, int escapeWidth,
                                                      bool aux);

// Magnitude ranges [first, first + width) of the wide bins for a rate; the last is cut at 254
// by the reader, the width kept as laid out.
struct WideBin {
    unsigned first;
    unsigned width;
};
std::vector<WideBin> wideLayout(int rate);

// Wide code from the header's scaled counts (bins 0..L) and scaled escape count.
CodeTree buildWideTree(int rate, const std::vector<unsigned>& counts, unsigned escapeCount);

// Reads one run-length stream of `count` values; countBits 3 or 4.
std::optional<std::vector<std::int32_t>> decodeRunLength(BitReader& reader, std::size_t count, int rate,
                                                         unsigned countBits, int escapeBits);

}  // namespace streamtest
