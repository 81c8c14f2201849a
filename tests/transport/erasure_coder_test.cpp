#include "transport/ErasureCoder.h"
#include "transport/ErasureKernels.h"
#include "transport/XorBlocks.h"
#include "platform/CpuFeatures.h"
#include "ReferenceCode.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

using kestrava::transport::ErasureCoder;
using kestrava::transport::ErasureKernels;
using kestrava::transport::avx2ErasureKernels;
using kestrava::transport::genericErasureKernels;
using kestrava::transport::xorBlocks;

using reference::Bytes;

namespace {

constexpr std::uint8_t guardByte = 0xA5;

// The XOR kernels of every build this processor can run, by name.
std::vector<std::pair<std::string, const ErasureKernels*>> buildsHere() {
    std::vector<std::pair<std::string, const ErasureKernels*>> builds{{"generic", &genericErasureKernels()}};
    if (kestrava::cpuFeatures().avx2) builds.push_back({"avx2", &avx2ErasureKernels()});
    return builds;
}

Bytes randomBytes(std::mt19937& rng, std::size_t n) {
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
}

Bytes hexBytes(std::initializer_list<unsigned> values) { return Bytes(values.begin(), values.end()); }

struct Group {
    std::vector<Bytes> data;
    std::vector<const std::uint8_t*> pointers;
    explicit Group(std::vector<Bytes> blocks) : data(std::move(blocks)) {
        for (const Bytes& b : data) pointers.push_back(b.data());
        if (pointers.empty()) pointers.push_back(nullptr);
    }
};

}  // namespace

// What encode writes for each kind of call, checked against the definition, with guard bytes
// behind the recovery area and a recovery area that held other bytes before.
TEST(ErasureCoder, EncodeFollowsItsContractForEveryKindOfCall) {
    enum Written { Nothing, Copies, ParityOnly, All };
    const struct {
        int k, m;
        std::uint32_t blockBytes;
        int result;
        Written written;
    } cases[] = {
        {1, 3, 12, 0, Copies},         // copies need no multiple of 8
        {1, 0, 12, 0, Nothing},
        {3, 1, 12, 0, ParityOnly},     // one recovery block: parity of any length
        {256, 1, 16, 0, ParityOnly},   // k + m limit applies only from m = 2
        {255, 2, 64, -1, ParityOnly},  // k + m > 256
        {5, 4, 12, -1, ParityOnly},    // not a multiple of 8
        {1, 3, 2056, -1, Nothing},     // beyond the largest block
        {5, 3, 2056, -1, Nothing},
        {5, 3, 2048, 0, All},
        {4, 3, 0, 0, All},             // empty blocks: nothing to write
        {4, 9, 0, 0, All},
        {2, 2, 8, 0, All},
        {3, 4, 104, 0, All},
        {4, 5, 104, 0, All},
        {250, 6, 8, 0, All},
        {251, 6, 8, -1, ParityOnly},
        {236, 20, 8, 0, All},
        {237, 20, 8, -1, ParityOnly},
        {2, 254, 8, 0, All},
        {3, 254, 8, -1, ParityOnly},
        // No data or no recovery blocks: refused or empty, never a write.
        {0, 3, 8, -1, Nothing},
        {-1, 2, 8, -1, Nothing},
        {4, 0, 8, 0, Nothing},
        {3, -2, 8, 0, Nothing},
    };
    std::mt19937 rng(8);
    auto coder = std::make_unique<ErasureCoder>();
    for (const auto& c : cases) {
        const std::string name = "k = " + std::to_string(c.k) + ", m = " + std::to_string(c.m) + ", B = " +
                                 std::to_string(c.blockBytes);
        std::vector<Bytes> blocks;
        for (int j = 0; j < c.k; ++j) blocks.push_back(randomBytes(rng, c.blockBytes));
        const Group group(blocks);
        const std::size_t b = c.blockBytes;
        const std::size_t used = c.m > 0 ? c.m * b : 0;
        Bytes recovery(used + 64, guardByte);
        const std::int32_t result = coder->encode(c.k, c.m, group.pointers.data(), recovery.data(), c.blockBytes);
        EXPECT_EQ(result, c.result) << name;

        Bytes expected(recovery.size(), guardByte);
        if (c.written == Copies) {
            for (int i = 0; i < c.m; ++i) std::copy(blocks[0].begin(), blocks[0].end(), expected.begin() + i * b);
        } else if (c.written == ParityOnly || c.written == All) {
            const Bytes definition = reference::encode(blocks, c.written == All ? c.m : 1);
            std::copy(definition.begin(), definition.end(), expected.begin());
        }
        EXPECT_TRUE(recovery == expected) << name;
        for (int j = 0; j < c.k; ++j) EXPECT_TRUE(group.data[j] == blocks[j]) << name;
    }
}

TEST(ErasureCoder, WorkedExamplesWithOneByteSubBlocks) {
    const Bytes powers = hexBytes({0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80});
    const Group group({Bytes(8, 0), powers});
    const struct {
        int m;
        std::vector<Bytes> expected;  // recovery blocks 0 .. m - 1
    } cases[] = {
        {2, {powers, hexBytes({0xc3, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40})}},
        {5,
         {powers, hexBytes({0xe3, 0x41, 0x82, 0x83, 0x81, 0x85, 0x8d, 0x9d}),
          hexBytes({0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x87, 0x89}),
          hexBytes({0x40, 0x80, 0x87, 0x89, 0x95, 0xad, 0xdd, 0x3d}),
          hexBytes({0x08, 0x10, 0x20, 0x40, 0x80, 0x87, 0x89, 0x95})}},
    };
    auto coder = std::make_unique<ErasureCoder>();
    for (const auto& c : cases) {
        Bytes recovery(8 * c.m, 0x5A);
        ASSERT_EQ(coder->encode(2, c.m, group.pointers.data(), recovery.data(), 8), 0);
        for (int r = 0; r < c.m; ++r) {
            EXPECT_EQ(Bytes(recovery.begin() + 8 * r, recovery.begin() + 8 * r + 8), c.expected[r])
                << "m = " << c.m << ", recovery block " << r;
        }
    }
}

TEST(ErasureCoder, EncodeRowWorkedExamples) {
    const Bytes counting = hexBytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08});
    const Bytes next = hexBytes({0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10});
    Bytes sixteen(16);
    for (int i = 0; i < 16; ++i) sixteen[i] = static_cast<std::uint8_t>(i + 1);
    const struct {
        const char* name;
        std::vector<Bytes> data;
        int m, stride;
        Bytes elements;
        std::uint8_t before;  // every byte of the recovery area before the call
        Bytes expected;
    } cases[] = {
        {"element 01", {counting}, 2, 1, {0x01}, 0, counting},
        {"element 02", {counting}, 2, 1, {0x02}, 0, hexBytes({0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x08})},
        {"element 80", {counting}, 2, 1, {0x80}, 0, hexBytes({0x08, 0x08, 0x0d, 0x0f, 0x08, 0x0c, 0x05, 0x02})},
        {"01 and 02",
         {counting, hexBytes({0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80})}, 2, 2, {0x01, 0x02}, 0,
         hexBytes({0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87, 0x88})},
        {"35 and 02", {counting, next}, 2, 2, {0x35, 0x02}, 0,
         hexBytes({0x0b, 0x0c, 0x05, 0x0f, 0x09, 0x03, 0x18, 0x19})},
        {"two-byte sub-blocks", {sixteen}, 2, 1, {0x35}, 0,
         hexBytes({0x06, 0x02, 0x02, 0x0e, 0x0e, 0x12, 0x0b, 0x04, 0x05, 0x0e, 0x0f, 0x18, 0x00, 0x10, 0x09, 0x02})},
        {"two rows, stride 3", {counting, next}, 3, 3, {0x35, 0x02, 0xee, 0x01, 0x80}, 0,
         hexBytes({0x0b, 0x0c, 0x05, 0x0f, 0x09, 0x03, 0x18, 0x19, 0x11, 0x1a, 0x16, 0x1b, 0x15, 0x1a, 0x0a, 0x02})},
        {"adds to what is there", {counting}, 2, 1, {0x01}, 0xFF,
         hexBytes({0xfe, 0xfd, 0xfc, 0xfb, 0xfa, 0xf9, 0xf8, 0xf7})},
        {"zero element adds nothing", {counting}, 2, 1, {0x00}, 0x33, Bytes(8, 0x33)},
        {"one recovery block: no row", {counting}, 1, 1, {0x35}, 0x33, {}},
        {"no data blocks", {}, 2, 1, {0x35}, 0x33, Bytes(8, 0x33)},
    };
    auto coder = std::make_unique<ErasureCoder>();
    for (const auto& c : cases) {
        const Group group(c.data);
        const int s = c.data.empty() ? 1 : static_cast<int>(c.data[0].size() / 8);
        Bytes recovery(c.expected.size() + 8, c.before);
        coder->encodeRow(static_cast<int>(c.data.size()), c.m, c.elements.data(), c.stride, group.pointers.data(),
                         recovery.data(), s);
        EXPECT_EQ(Bytes(recovery.begin(), recovery.end() - 8), c.expected) << c.name;
        EXPECT_EQ(Bytes(recovery.end() - 8, recovery.end()), Bytes(8, c.before)) << c.name;
    }
}

// The windowed kernels of every build (adding rows, and writing all blocks) against the
// bit-by-bit definition, for every sub-block
// length on the borders of the XOR blocking, at several alignments, with elements whose low or
// high nibble is zero, rows longer than k, more data blocks than one batch of pattern tables,
// and guard bytes around the output.
TEST(ErasureKernels, WindowedRowsEqualTheDefinitionInEveryBuild) {
    const int lengths[] = {0, 1, 2, 7, 8, 13, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 129, 200, 255, 256};
    const int offsets[] = {0, 1, 3, 8};
    const int m = 5;
    const int stride = 250;
    std::mt19937 rng(20);
    Bytes elements = randomBytes(rng, stride * (m - 1));
    const std::uint8_t special[] = {0x10, 0x20, 0x80, 0x07, 0x01, 0xF0, 0x0F, 0x00};
    for (int i = 0; i < 8; ++i) elements[(i % 4) * stride + i / 4] = special[i];
    Bytes workspace(ErasureCoder::workspaceBytes);
    for (const auto& [buildName, kernels] : buildsHere()) {
        for (int s : lengths) {
            for (int offset : offsets) {
                const int k = offset == 3 ? 19 : 3;
                const int b = 8 * s;
                std::vector<Bytes> blocks;
                std::vector<Bytes> storage;
                std::vector<const std::uint8_t*> pointers;
                for (int j = 0; j < k; ++j) {
                    storage.push_back(randomBytes(rng, b + offset));
                    blocks.emplace_back(storage.back().begin() + offset, storage.back().end());
                }
                for (int j = 0; j < k; ++j) pointers.push_back(storage[j].data() + offset);
                const Bytes before = randomBytes(rng, (m - 1) * b);
                Bytes area(offset + (m - 1) * b + 16, guardByte);
                std::copy(before.begin(), before.end(), area.begin() + offset);
                kernels->encodeRow(workspace.data(), k, m, elements.data(), stride, pointers.data(), area.data() + offset, s);

                Bytes expected(area.size(), guardByte);
                std::copy(before.begin(), before.end(), expected.begin() + offset);
                for (int r = 1; r < m; ++r) {
                    for (int j = 0; j < k; ++j) {
                        reference::addAction(&expected[offset + (r - 1) * b], blocks[j].data(),
                                             elements[(r - 1) * stride + j], s);
                    }
                }
                ASSERT_TRUE(area == expected) << buildName << ", k = " << k << ", s = " << s << ", offset " << offset;

                // All m blocks written afresh over old bytes: the parity, then the same rows.
                Bytes blocksArea(offset + m * b + 16, guardByte);
                std::fill(blocksArea.begin() + offset, blocksArea.end() - 16, 0x3C);
                kernels->encodeBlocks(workspace.data(), k, m, elements.data(), stride, pointers.data(),
                                      blocksArea.data() + offset, s);
                Bytes expectedBlocks(blocksArea.size(), guardByte);
                std::fill(expectedBlocks.begin() + offset, expectedBlocks.end() - 16, 0);
                for (int j = 0; j < k; ++j) {
                    for (int p = 0; p < b; ++p) expectedBlocks[offset + p] ^= blocks[j][p];
                }
                for (int p = 0; p < (m - 1) * b; ++p) expectedBlocks[offset + b + p] = expected[offset + p] ^ before[p];
                ASSERT_TRUE(blocksArea == expectedBlocks)
                    << buildName << ", all blocks, k = " << k << ", s = " << s << ", offset " << offset;
            }
        }
    }
}

TEST(ErasureKernels, XorBlocksIsAPlainByteLoopInPlaceOrNotInEveryBuild) {
    const int lengths[] = {-1, 0, 1, 3, 4, 7, 8, 15, 16, 17, 31, 32, 37, 63, 64, 127, 128, 129, 255, 256, 257, 1000, 2048};
    enum Aliasing { Separate, OutIsA, OutIsB };
    std::mt19937 rng(7);
    for (const auto& [buildName, kernels] : buildsHere()) {
        for (int n : lengths) {
            for (int offset : {0, 1, 5}) {
                for (Aliasing aliasing : {Separate, OutIsA, OutIsB}) {
                    const std::size_t size = std::max(n, 0) + offset + 16;
                    Bytes a = randomBytes(rng, size);
                    Bytes b = randomBytes(rng, size);
                    Bytes out(size, guardByte);
                    Bytes expected = aliasing == OutIsA ? a : aliasing == OutIsB ? b : out;
                    for (int i = 0; i < n; ++i) expected[offset + i] = a[offset + i] ^ b[offset + i];
                    std::uint8_t* target = aliasing == OutIsA ? a.data() : aliasing == OutIsB ? b.data() : out.data();
                    kernels->xorBlocks(target + offset, a.data() + offset, b.data() + offset, n);
                    const Bytes& result = aliasing == OutIsA ? a : aliasing == OutIsB ? b : out;
                    ASSERT_TRUE(result == expected) << buildName << ", n = " << n << ", offset " << offset
                                                    << ", aliasing " << aliasing;
                }
            }
        }
    }
    // The dispatched entry point is one of them.
    Bytes a = hexBytes({0x0f, 0xf0, 0x55}), b = hexBytes({0xff, 0xff, 0x55}), out(3);
    xorBlocks(out.data(), a.data(), b.data(), 3);
    EXPECT_EQ(out, hexBytes({0xf0, 0x0f, 0x00}));
}
