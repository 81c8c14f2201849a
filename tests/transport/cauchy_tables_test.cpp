#include "transport/CauchyTables.h"
#include "transport/ErasureCoder.h"
#include "FixedMatrixParameters.h"
#include "ReferenceCode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

using kestrava::transport::ErasureCoder;
using kestrava::transport::cauchyColumnStart;
using kestrava::transport::cauchyColumnValues;
using kestrava::transport::cauchyFirstColumn;
using kestrava::transport::cauchyFixedRows;
using kestrava::transport::cauchyRowValues;

using reference::Bytes;

namespace {

Bytes hexBytes(std::initializer_list<unsigned> values) { return Bytes(values.begin(), values.end()); }

Bytes fixedRow(int m, int t) {
    const std::uint8_t* row = cauchyFixedRows[m] + t * (256 - m);
    return Bytes(row, row + 256 - m);
}

Bytes derivedRow(const fixture::FixedMatrixParameters& p, int t, bool parametrisationA) {
    Bytes row;
    for (int y : p.columnValues) {
        const auto x = static_cast<unsigned>(p.rowValues[t]);
        const auto f = static_cast<unsigned>(p.rowFactors[t]);
        const unsigned v = static_cast<unsigned>(y);
        row.push_back(static_cast<std::uint8_t>(parametrisationA ? reference::mul(f, reference::div(v, x ^ v))
                                                                 : reference::div(f, v ^ x)));
    }
    return row;
}

}  // namespace

TEST(CauchyTables, RowValuesAreTheDecimalListAndOrderedByColumnZeroWeight) {
    ASSERT_EQ(fixture::rowValuesDecimal.size(), cauchyRowValues.size());
    std::set<unsigned> seen;
    for (std::size_t t = 0; t < cauchyRowValues.size(); ++t) {
        EXPECT_EQ(cauchyRowValues[t], fixture::rowValuesDecimal[t]) << t;
        seen.insert(cauchyRowValues[t]);
    }
    EXPECT_EQ(seen.size(), 254u);
    EXPECT_EQ(*seen.begin(), 2u);
    const int firstWeights[] = {11, 11, 13, 13, 15, 16, 17, 17};
    for (int t = 0; t < 8; ++t) EXPECT_EQ(reference::weight(reference::inverse(cauchyRowValues[t] ^ 1)), firstWeights[t]);
    for (std::size_t t = 1; t < 254; ++t) {
        EXPECT_LE(reference::weight(reference::inverse(cauchyRowValues[t - 1] ^ 1)),
                  reference::weight(reference::inverse(cauchyRowValues[t] ^ 1)))
            << t;
    }
    EXPECT_EQ(reference::weight(reference::inverse(cauchyRowValues[253] ^ 1)), 49);
}

TEST(CauchyTables, FirstColumnHoldsTheInverses) {
    const Bytes firstSixteen =
        hexBytes({0x00, 0x01, 0xc3, 0x82, 0xa2, 0x7e, 0x41, 0x5a, 0x51, 0x36, 0x3f, 0xac, 0xe3, 0x68, 0x2d, 0x2a});
    EXPECT_EQ(Bytes(cauchyFirstColumn.begin(), cauchyFirstColumn.begin() + 16), firstSixteen);
    for (unsigned a = 1; a < 256; ++a) EXPECT_EQ(reference::mul(a, cauchyFirstColumn[a]), 1u) << a;
}

TEST(CauchyTables, ColumnSequencesMatchTheStatedValuesAndCosts) {
    const struct {
        int m;
        Bytes leading;
        std::vector<int> costs;
        Bytes trailing;
    } cases[] = {
        {7, hexBytes({0x58, 0x31, 0x1b, 0x07, 0xa6, 0x76, 0x15, 0x2d}), {151, 152, 159, 160, 161, 162, 163, 163},
         hexBytes({0x22, 0x27, 0xfa, 0x0c})},
        {8, hexBytes({0x58, 0x07, 0x76, 0x1b, 0x2a, 0xa6, 0x31, 0x90}), {175, 179, 182, 189, 189, 189, 190, 191}, {}},
        {9, hexBytes({0x58, 0x76, 0x31, 0x60, 0xa6, 0x1b, 0x07, 0x86}), {200, 214, 216, 218, 221, 222, 223, 223}, {}},
        {250, hexBytes({0x15, 0x0b, 0x29, 0x04, 0x51}), {8003, 8004, 8004, 8013, 8037}, {}},
        {251, hexBytes({0x0b, 0x29, 0x15, 0x04}), {8033, 8036, 8040, 8047}, {}},
        {252, hexBytes({0x0b, 0x15, 0x04}), {8068, 8072, 8078}, {}},
        {253, hexBytes({0x0b, 0x15}), {8104, 8108}, {}},
        {254, hexBytes({0x15}), {8141}, {}},
    };
    EXPECT_EQ(cauchyColumnStart(7), 0);
    EXPECT_EQ(cauchyColumnStart(8), 248);
    EXPECT_EQ(cauchyColumnStart(9), 495);
    EXPECT_EQ(cauchyColumnStart(254), 30875);
    for (const auto& c : cases) {
        const std::uint8_t* sequence = cauchyColumnValues.data() + cauchyColumnStart(c.m);
        const int length = 255 - c.m;
        EXPECT_EQ(Bytes(sequence, sequence + c.leading.size()), c.leading) << "m = " << c.m;
        EXPECT_EQ(Bytes(sequence + length - c.trailing.size(), sequence + length), c.trailing) << "m = " << c.m;
        for (std::size_t i = 0; i < c.costs.size(); ++i) {
            int cost = 0;
            for (int t = 0; t < c.m - 1; ++t) cost += reference::weight(reference::div(sequence[i], cauchyRowValues[t] ^ sequence[i]));
            EXPECT_EQ(cost, c.costs[i]) << "m = " << c.m << ", entry " << i;
        }
    }
}

TEST(CauchyTables, EveryColumnSequenceFollowsTheRule) {
    for (int m = 7; m <= 254; ++m) {
        const std::vector<unsigned> expected = reference::columnValues(m);
        const std::uint8_t* sequence = cauchyColumnValues.data() + cauchyColumnStart(m);
        ASSERT_EQ(Bytes(sequence, sequence + 255 - m), Bytes(expected.begin(), expected.end())) << "m = " << m;
    }
}

TEST(CauchyTables, FixedRowsEqualBothParametrisations) {
    for (int m = 2; m <= 6; ++m) {
        const auto& a = fixture::parametersA[m - 2];
        const auto& b = fixture::parametersB[m - 2];
        ASSERT_EQ(a.m, m);
        ASSERT_EQ(b.m, m);
        for (int t = 0; t < m - 1; ++t) {
            EXPECT_EQ(a.rowValues[t], fixture::rowValuesDecimal[t]);
            EXPECT_EQ(fixedRow(m, t), derivedRow(a, t, true)) << "m = " << m << ", row " << t;
            EXPECT_EQ(fixedRow(m, t), derivedRow(b, t, false)) << "m = " << m << ", row " << t;
        }
    }
}

TEST(CauchyTables, FixedRowsBeginAndEndWithTheStatedElements) {
    const struct {
        int m, row;
        Bytes first, last;
    } cases[] = {
        {2, 0, hexBytes({0x01, 0xc3, 0x02, 0x04, 0xa2, 0x51, 0x08, 0xc2}), hexBytes({0x37, 0x7e, 0x6e, 0xdc})},
        {3, 0, hexBytes({0x04, 0x10, 0x51, 0x06, 0x05, 0x50, 0xa2, 0x53}), hexBytes({0x81, 0x6e, 0xdc, 0x9d})},
        {3, 1, hexBytes({0x10, 0x04, 0x06, 0x51, 0x50, 0x05, 0x53, 0xa2}), hexBytes({0x6e, 0x81, 0x9d, 0xdc})},
        {4, 0, hexBytes({0xc3, 0x02, 0x01, 0x41, 0x95, 0x63, 0x22, 0x51}), hexBytes({0xa9, 0x9f, 0x2b, 0x85})},
        {4, 1, hexBytes({0xa7, 0x06, 0x16, 0xeb, 0x01, 0x60, 0xa3, 0x8a}), hexBytes({0x3b, 0x7d, 0x8d, 0x6e})},
        {4, 2, hexBytes({0x51, 0x9a, 0xc0, 0x04, 0x02, 0xa2, 0x92, 0x22}), hexBytes({0xbd, 0xde, 0x7a, 0xf8})},
        {5, 0, hexBytes({0x51, 0xe3, 0xb2, 0xab, 0x04, 0x18, 0x2e, 0x65}), hexBytes({0x8e, 0x84, 0xf6, 0x6e})},
        {5, 1, hexBytes({0xe5, 0x04, 0x20, 0xa2, 0xe3, 0xd5, 0x0a, 0x66}), hexBytes({0x5f, 0x1f, 0x7b, 0xb8})},
        {5, 2, hexBytes({0x30, 0x40, 0x08, 0x51, 0xe3, 0xa2, 0x58, 0x50}), hexBytes({0xaf, 0x78, 0xbd, 0x7b})},
        {5, 3, hexBytes({0x51, 0x08, 0x10, 0xe9, 0x70, 0x19, 0x28, 0x01}), hexBytes({0xdc, 0xfc, 0x89, 0x7b})},
        {6, 0, hexBytes({0x78, 0x03, 0xc1, 0x16, 0x10, 0x57, 0x02, 0xe9}), hexBytes({0x83, 0x3e, 0x88, 0xf8})},
        {6, 1, hexBytes({0x51, 0xa2, 0xa8, 0xb2, 0x61, 0xc2, 0x08, 0x04}), hexBytes({0x6e, 0xc9, 0x3d, 0x7b})},
        {6, 2, hexBytes({0xc3, 0x30, 0x42, 0x40, 0x61, 0x29, 0x66, 0x47}), hexBytes({0x6b, 0x9d, 0xdc, 0x3d})},
        {6, 3, hexBytes({0x30, 0x8c, 0xc7, 0x08, 0x6d, 0xc6, 0x20, 0xe3}), hexBytes({0x7b, 0xf7, 0xf5, 0x8d})},
        {6, 4, hexBytes({0xd1, 0x45, 0x01, 0x50, 0x0e, 0xc2, 0xbb, 0xeb}), hexBytes({0x2e, 0x6e, 0xec, 0x68})},
    };
    for (const auto& c : cases) {
        const Bytes row = fixedRow(c.m, c.row);
        EXPECT_EQ(Bytes(row.begin(), row.begin() + 8), c.first) << "m = " << c.m << ", row " << c.row;
        EXPECT_EQ(Bytes(row.end() - 4, row.end()), c.last) << "m = " << c.m << ", row " << c.row;
    }
}

TEST(CauchyTables, FixedRowsHoldNoZeroAndTheTwoRowMatrixEveryOtherElementOnce) {
    for (int m = 2; m <= 6; ++m) {
        for (int t = 0; t < m - 1; ++t) {
            for (std::uint8_t e : fixedRow(m, t)) EXPECT_NE(e, 0) << "m = " << m;
        }
    }
    const Bytes row = fixedRow(2, 0);
    std::set<unsigned> distinct(row.begin(), row.end());
    EXPECT_EQ(distinct.size(), 254u);
    EXPECT_EQ(distinct.count(0x3F), 0u);
}

// Each listed row factor gives its row the least total weight any factor gives; the columns stand
// in ascending order of their total weight; the column of value 1 is where it is said to be.
TEST(CauchyTables, FixedRowsHaveTheirStatedProperties) {
    const int columnOfOne[] = {0, 0, 251, 246, 248, 249, 249};
    for (int m = 2; m <= 6; ++m) {
        const int columns = 256 - m;
        std::vector<int> columnWeight(columns, 0);
        for (int t = 0; t < m - 1; ++t) {
            const Bytes row = fixedRow(m, t);
            int listed = 0;
            for (int j = 0; j < columns; ++j) {
                listed += reference::fastWeight(row[j]);
                columnWeight[j] += reference::fastWeight(row[j]);
            }
            const unsigned factor = static_cast<unsigned>(fixture::parametersA[m - 2].rowFactors[t]);
            for (unsigned other = 1; other < 256; ++other) {
                const unsigned ratio = reference::fastDiv(other, factor);  // the row with `other` as its factor
                int total = 0;
                for (int j = 0; j < columns; ++j) total += reference::fastWeight(reference::mul(row[j], ratio));
                ASSERT_LE(listed, total) << "m = " << m << ", row " << t << ", factor " << other;
            }
        }
        for (int j = 1; j < columns; ++j) EXPECT_LE(columnWeight[j - 1], columnWeight[j]) << "m = " << m << ", column " << j;
        const auto& values = fixture::parametersA[m - 2].columnValues;
        EXPECT_EQ(std::find(values.begin(), values.end(), 1) - values.begin(), columnOfOne[m]) << "m = " << m;
    }
}

TEST(ElementRows, MatrixStepGivesTheStatedRows) {
    auto coder = std::make_unique<ErasureCoder>();
    const struct {
        int k, m, row;
        Bytes elements;
    } cases[] = {
        {3, 2, 0, hexBytes({0x01, 0xc3, 0x02})},  // 1, 195 and 2: inverses of the column values 1, 2, 195
        {4, 7, 0, hexBytes({0x02, 0x9e, 0x05, 0x34})},
        {4, 7, 1, hexBytes({0xc3, 0xc1, 0x4f, 0x50})},
        {4, 8, 0, hexBytes({0x02, 0x9e, 0xb9, 0xa1})},
        {4, 8, 1, hexBytes({0xc3, 0xc1, 0x60, 0x53})},
    };
    for (const auto& c : cases) {
        const ErasureCoder::ElementRows rows = coder->elementRows(c.k, c.m);
        EXPECT_EQ(rows.stride, c.m <= 6 ? 256 - c.m : c.k);
        const std::uint8_t* row = rows.start + c.row * rows.stride;
        EXPECT_EQ(Bytes(row, row + c.k), c.elements) << "k = " << c.k << ", m = " << c.m << ", row " << c.row;
    }
}

TEST(ElementRows, ComputedMatricesFollowTheRuleUpToTheirLargestGroup) {
    auto coder = std::make_unique<ErasureCoder>();
    const struct {
        int k, m;
    } cases[] = {{2, 7}, {3, 7}, {249, 7}, {4, 9}, {128, 128}, {127, 129}, {6, 250}, {2, 254}};
    for (const auto& c : cases) {
        const ErasureCoder::ElementRows rows = coder->elementRows(c.k, c.m);
        ASSERT_EQ(rows.stride, c.k);
        const auto expected = reference::elementMatrix(c.k, c.m);
        for (int t = 0; t < c.m - 1; ++t) {
            ASSERT_EQ(Bytes(rows.start + t * c.k, rows.start + (t + 1) * c.k), expected[t])
                << "k = " << c.k << ", m = " << c.m << ", row " << t;
        }
    }
    // m = 254, k = 2: column values 1 and 0x15, the last byte of the column table.
    const ErasureCoder::ElementRows last = coder->elementRows(2, 254);
    EXPECT_EQ(cauchyColumnValues.back(), 0x15);
    for (int t = 0; t < 253; ++t) {
        const unsigned x = cauchyRowValues[t];
        EXPECT_EQ(last.start[2 * t + 1], reference::div(0x15, x ^ 0x15)) << t;
    }
}
