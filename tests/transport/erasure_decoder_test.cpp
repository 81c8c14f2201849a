// The recovery blocks really recover: a decoder written apart from the encoder (its own field
// arithmetic and matrices) rebuilds the data blocks of a group from what is left after losing
// up to m of its k + m blocks.
#include "transport/ErasureCoder.h"
#include "ReferenceCode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

using kestrava::transport::ErasureCoder;

using reference::Bytes;

namespace {

unsigned testSeed() {
    const char* text = std::getenv("KESTRAVA_TEST_SEED");
    return text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 2026u;
}

// One encoded group, with the data blocks and the recovery area placed at odd offsets.
struct EncodedGroup {
    std::vector<Bytes> blocks;  // k data blocks, then m recovery blocks

    EncodedGroup(ErasureCoder& coder, int k, int m, int blockBytes, std::mt19937& rng, int offset) {
        std::vector<Bytes> storage(k, Bytes(blockBytes + offset));
        std::vector<const std::uint8_t*> pointers;
        for (Bytes& s : storage) {
            for (auto& byte : s) byte = static_cast<std::uint8_t>(rng());
            pointers.push_back(s.data() + offset);
        }
        Bytes recovery(static_cast<std::size_t>(m) * blockBytes + offset);
        EXPECT_EQ(coder.encode(k, m, pointers.data(), recovery.data() + offset, blockBytes), 0);
        for (const Bytes& s : storage) blocks.emplace_back(s.begin() + offset, s.end());
        for (int r = 0; r < m; ++r) {
            const auto start = recovery.begin() + offset + r * blockBytes;
            blocks.emplace_back(start, start + blockBytes);
        }
    }

    // Decodes with the blocks of `lost` missing and checks every data block.
    void expectRecovered(const std::vector<bool>& lost, int k, int m, const std::string& name) const {
        std::vector<Bytes> arrived = blocks;
        for (std::size_t q = 0; q < lost.size(); ++q) {
            if (lost[q]) arrived[q].assign(arrived[q].size(), 0);
        }
        const auto data = reference::decode(arrived, lost, k, m);
        ASSERT_TRUE(data.has_value()) << name;
        for (int j = 0; j < k; ++j) ASSERT_TRUE((*data)[j] == blocks[j]) << name << ", data block " << j;
    }
};

std::string describe(int k, int m, int blockBytes, const std::vector<bool>& lost) {
    std::string text = "k = " + std::to_string(k) + ", m = " + std::to_string(m) + ", B = " +
                       std::to_string(blockBytes) + ", lost";
    for (std::size_t q = 0; q < lost.size(); ++q) {
        if (lost[q]) text += " " + std::to_string(q);
    }
    return text;
}

}  // namespace

TEST(ErasureDecoding, EveryPatternOfUpToMLostBlocksIsRecoveredInSmallGroups) {
    const struct {
        int k, m, blockBytes;
    } cases[] = {{2, 2, 8}, {3, 3, 104}, {4, 4, 8}, {5, 5, 16}, {6, 6, 8}, {7, 7, 8}, {3, 8, 8}, {9, 3, 24}};
    std::mt19937 rng(testSeed());
    auto coder = std::make_unique<ErasureCoder>();
    for (const auto& c : cases) {
        const EncodedGroup group(*coder, c.k, c.m, c.blockBytes, rng, 1);
        const int n = c.k + c.m;
        for (unsigned pattern = 0; pattern < (1u << n); ++pattern) {
            if (__builtin_popcount(pattern) > c.m) continue;
            std::vector<bool> lost(n);
            for (int q = 0; q < n; ++q) lost[q] = (pattern >> q) & 1;
            group.expectRecovered(lost, c.k, c.m, describe(c.k, c.m, c.blockBytes, lost));
            if (testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(ErasureDecoding, RandomPatternsOfMLostBlocksAreRecoveredInLargeGroups) {
    const struct {
        int k, m, blockBytes, offset;
    } cases[] = {
        {254, 2, 104, 3}, {253, 3, 8, 1}, {252, 4, 104, 0}, {251, 5, 8, 5}, {250, 6, 2048, 1},
        {249, 7, 2048, 3}, {248, 8, 104, 2}, {10, 4, 2048, 1}, {128, 128, 8, 1}, {2, 254, 104, 7},
        {64, 20, 104, 0},
    };
    const unsigned seed = testSeed();
    std::mt19937 rng(seed);
    auto coder = std::make_unique<ErasureCoder>();
    for (const auto& c : cases) {
        const EncodedGroup group(*coder, c.k, c.m, c.blockBytes, rng, c.offset);
        const int n = c.k + c.m;
        for (int trial = 0; trial < 2; ++trial) {
            std::vector<int> order(n);
            for (int q = 0; q < n; ++q) order[q] = q;
            std::shuffle(order.begin(), order.end(), rng);
            std::vector<bool> lost(n);
            // The first trial loses the leading data blocks, the second a random set.
            for (int i = 0; i < c.m; ++i) lost[trial == 0 ? i : order[i]] = true;
            group.expectRecovered(lost, c.k, c.m, describe(c.k, c.m, c.blockBytes, lost) + ", seed " + std::to_string(seed));
        }
    }
}
