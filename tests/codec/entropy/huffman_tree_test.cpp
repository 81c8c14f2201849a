// The wide code against the test-side build (a plain search for the lightest open subtree), for
// counts as the headers carry them and for counts so large that merged weights wrap at 32 bits.
#include "StreamDecoder.h"
#include "codec/entropy/HuffmanTree.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using kestrava::codec::entropy::HuffmanTree;
using kestrava::codec::entropy::SymbolCode;

namespace {

std::map<int, std::string> codesOf(const HuffmanTree& tree) {
    std::map<int, std::string> out;
    for (int symbol = -255; symbol <= 257; ++symbol) {
        const SymbolCode& code = tree.codeOf(symbol);
        if (code.length == 0) continue;
        std::string text;
        for (std::uint32_t bit = code.length; bit-- > 0;) text += ((code.code >> bit) & 1u) != 0 ? '1' : '0';
        out[symbol] = text;
    }
    return out;
}

TEST(HuffmanTree, MatchesTheReferenceBuildForSmallAndWrappingCounts) {
    auto config = std::make_unique<KestravaInstanceConfig>(192000, 2040);
    auto tree = std::make_unique<HuffmanTree>();
    std::mt19937 random(7);
    struct Case {
        int rate;
        unsigned maxCount;
        unsigned escapes;
    };
    // Header counts stay below 16; 4,000,000 per bin makes the total pass 2^32.
    for (const Case c : {Case{256, 15, 0}, Case{1000, 15, 3}, Case{64, 7, 15}, Case{256, 4000000, 9},
                         Case{1000, 4000000, 0}}) {
        for (int round = 0; round < 20; ++round) {
            std::vector<unsigned> counts(1 + random() % streamtest::wideLayout(c.rate).size());
            for (unsigned& n : counts) n = random() % 3 == 0 ? 0 : 1 + random() % c.maxCount;
            // Exactly the counts in use: the build must not look past them (the sanitizer build
            // reports a read beyond the vector), and stale counts after them must not matter.
            std::vector<std::uint32_t> exact(counts.begin(), counts.end());
            std::vector<std::uint32_t> stale(256, 15);
            std::copy(counts.begin(), counts.end(), stale.begin());
            ASSERT_TRUE(tree->build(exact.data(), c.escapes, std::uint32_t(counts.size()), c.rate, true, config.get()));
            const auto expected = streamtest::buildWideTree(c.rate, counts, c.escapes).codes();
            EXPECT_EQ(codesOf(*tree), expected) << "rate " << c.rate << " max " << c.maxCount << " round " << round;
            // The same counts followed by stale ones, and after a build from other counts and rate.
            ASSERT_TRUE(tree->build(stale.data(), c.escapes, std::uint32_t(counts.size()), c.rate, true, config.get()));
            EXPECT_EQ(codesOf(*tree), expected);
            ASSERT_TRUE(tree->build(stale.data(), c.escapes, 1, 320, true, config.get()));
            ASSERT_TRUE(tree->build(exact.data(), c.escapes, std::uint32_t(counts.size()), c.rate, true, config.get()));
            EXPECT_EQ(codesOf(*tree), expected);
        }
    }
}

}  // namespace
