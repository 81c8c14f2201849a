#include "transport/Gf256Tables.h"
#include "ReferenceCode.h"

#include <gtest/gtest.h>

using kestrava::transport::gf256DivTable;
using kestrava::transport::gf256MulTable;
using kestrava::transport::gf256Weight;
using kestrava::transport::gfExpTable;
using kestrava::transport::gfLogTable;

TEST(Gf256Tables, ProductAndQuotientTablesMatchPolynomialArithmetic) {
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned b = 0; b < 256; ++b) {
            const unsigned product = reference::mul(a, b);
            ASSERT_EQ(gf256MulTable[256 * a + b], product) << a << " * " << b;
            // Row 0 (division by zero) and column 0 are zero; otherwise the quotient times a is b.
            const unsigned quotient = gf256DivTable[256 * a + b];
            if (a == 0 || b == 0) {
                ASSERT_EQ(quotient, 0u) << b << " / " << a;
            } else {
                ASSERT_EQ(reference::mul(quotient, a), b) << b << " / " << a;
            }
        }
    }
}

TEST(Gf256Tables, DoublingRowAndWeightsHaveTheStatedValues) {
    EXPECT_EQ(gf256MulTable[512 + 0x80], 0x87);
    EXPECT_EQ(gf256MulTable[512 + 0xC3], 0x01);
    const struct {
        unsigned element;
        int weight;
    } cases[] = {{0x01, 8}, {0x02, 11}, {0xC3, 11}, {0x03, 17}, {0x3F, 49}, {0xDC, 49}};
    for (const auto& c : cases) EXPECT_EQ(gf256Weight(c.element), c.weight) << std::hex << c.element;
    int largest = 0;
    for (unsigned e = 1; e < 256; ++e) largest = std::max(largest, gf256Weight(e));
    EXPECT_EQ(largest, 49);
}

TEST(Gf256Tables, LogAndPowerTablesFollowTheGenerator) {
    EXPECT_EQ(gfLogTable[0], 512);
    EXPECT_EQ(gfLogTable[1], 255);
    unsigned power = 1;
    for (unsigned i = 0; i <= 510; ++i) {
        ASSERT_EQ(gfExpTable[i], power) << i;
        if (i >= 1 && i <= 254) {
            ASSERT_EQ(gfLogTable[power], i);
        }
        power = reference::mul(power, 2);
    }
    EXPECT_EQ(gfExpTable[511], 0);
}
