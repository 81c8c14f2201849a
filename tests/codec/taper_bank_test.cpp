#include "codec/BackwardLpc11.h"
#include "codec/BackwardLpc3.h"
#include "codec/TaperBank.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <set>
#include <utility>

using kestrava::codec::BackwardLpc11;
using kestrava::codec::BackwardLpc3;
using kestrava::codec::taperBank;
using kestrava::codec::taperColumns;
using kestrava::codec::taperRows;

using namespace codec_test;

namespace {

struct Exception {
    int row, column;
    std::uint64_t bits;
};

// The entries that are not what a correctly rounded cosine gives.
constexpr Exception exceptions[27] = {
    {3, 29, 0x3FED30509E9CF08B},  {5, 1, 0x3FC803EAE8E8F182},   {5, 30, 0x3FC803EAE8E8F186},
    {8, 25, 0x3FED30509E9CF08B},  {9, 28, 0x3FD56FFD8FFCB926},  {9, 29, 0x3FC99B6E81CF3D2A},
    {10, 2, 0x3FC6A7C8BD90868C},  {11, 5, 0x3FE02E12B6456768},  {12, 1, 0x3FB8D8CBD53357B4},
    {12, 4, 0x3FD50403F37C1ECE},  {12, 23, 0x3FE9C4CBC6182FE5}, {12, 28, 0x3FCCEE67C580684E},
    {13, 4, 0x3FD2C906BE791FD4},  {13, 8, 0x3FE78C27121A8BE5},  {13, 9, 0x3FEAA9B293E29F84},
    {13, 28, 0x3FCA32C59290C1C8}, {14, 3, 0x3FC803EAE8E8F182},  {14, 10, 0x3FEB61A878822BDF},
    {14, 28, 0x3FC803EAE8E8F186}, {15, 21, 0x3FE98A6995CEFA2B}, {15, 26, 0x3FD4C5225B8D8205},
    {15, 27, 0x3FCF007C3A160B9C}, {16, 5, 0x3FD2FCBFA9925D82},  {16, 12, 0x3FEC72EC6486AAD0},
    {16, 20, 0x3FEA4A4A8D245189}, {16, 21, 0x3FE7C339E0FB4DF2}, {16, 27, 0x3FCC8DBA8D43DFA2},
};

}  // namespace

TEST(TaperBank, TheTwentySevenExceptionsHaveTheirStatedBits) {
    for (const Exception& e : exceptions) {
        EXPECT_EQ(bits(taperBank[e.row][e.column]), e.bits) << "row " << e.row << " column " << e.column;
    }
}

TEST(TaperBank, EveryOtherEntryFollowsTheWindowRule) {
    // Oracle: the written rule with the libm cosine (correctly rounded for these arguments).
    std::set<std::pair<int, int>> excepted;
    for (const Exception& e : exceptions) excepted.insert({e.row, e.column});
    int checked = 0;
    for (int row = 0; row < taperRows; ++row) {
        for (int column = 0; column < taperColumns; ++column) {
            double expected = 1.0;
            int k = -1;
            if (row > 0 && column < row) k = column;
            if (row > 0 && column >= 32 - row) k = column - (32 - 2 * row);
            if (k >= 0) {
                const double angle = ((2.0 * std::numbers::pi) * k) / (2 * row - 1);
                expected = 0.54 - 0.46 * std::cos(angle);
            }
            if (excepted.count({row, column})) continue;
            ++checked;
            EXPECT_EQ(bits(taperBank[row][column]), bits(expected)) << "row " << row << " column " << column;
        }
    }
    EXPECT_EQ(checked, 17 * 32 - 27);
}

TEST(TaperBank, EntryEightAndRowThreeAsStated) {
    const double entry8[32] = {0.08000000000000002, 0.11976908948440362, 0.2321999210749252, 0.3978521825875242,
                               0.5880830931031206,  0.7699999999999999,  0.9121478174124757, 0.9899478963375506,
                               1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                               0.9899478963375506,  0.9121478174124759,  0.7700000000000002, 0.588083093103121,
                               0.3978521825875243,  0.23219992107492515, 0.11976908948440357, 0.08000000000000002};
    for (int c = 0; c < 32; ++c) EXPECT_EQ(bits(taperBank[8][c]), bits(entry8[c])) << c;
    const double row3[6] = {0.08000000000000002, 0.3978521825875242, 0.9121478174124757,
                            0.9121478174124759,  0.3978521825875243, 0.08000000000000002};
    const int row3Columns[6] = {0, 1, 2, 29, 30, 31};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(bits(taperBank[3][row3Columns[i]]), bits(row3[i])) << row3Columns[i];
    for (int c = 0; c < 32; ++c) EXPECT_EQ(taperBank[0][c], 1.0);
}

TEST(TaperBank, FloatCopiesAreTheDoublesRoundedOnce) {
    auto lpc11 = std::make_unique<BackwardLpc11>();
    auto lpc3 = std::make_unique<BackwardLpc3>();
    for (int row = 0; row < taperRows; ++row) {
        for (int column = 0; column < taperColumns; ++column) {
            ASSERT_EQ(bits(lpc11->taperTable[row][column]), bits(static_cast<float>(taperBank[row][column])));
            ASSERT_EQ(bits(lpc3->taperTable[row][column]), bits(static_cast<float>(taperBank[row][column])));
        }
    }
    // The 8-point rise of the float main predictor and the 4-point edge of its third-channel one.
    const std::uint32_t rise8[8] = {0x3DA3D70A, 0x3DF5497F, 0x3E6DC5D1, 0x3ECBB348,
                                    0x3F168C9D, 0x3F451EB8, 0x3F698285, 0x3F7D6D3A};
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(bits(lpc11->taperTable[8][j]), rise8[j]) << j;
        EXPECT_EQ(bits(lpc11->taperTable[8][31 - j]), rise8[j]) << j;
    }
    const std::uint32_t edge4[4] = {0x3DA3D70A, 0x3E81A2BC, 0x3F2471AE, 0x3F74568D};
    for (int t = 0; t < 4; ++t) EXPECT_EQ(bits(lpc3->taperTable[4][t]), edge4[t]) << t;
}
