#include "transport/CauchyTables.h"
#include "transport/Gf256Tables.h"

#include <algorithm>

namespace kestrava::transport {

// The column values of the computed matrices follow from a rule: for each m, the values that are
// not row values of m, cheapest column first, where a column's cost is the total weight of its
// m - 1 elements y / (x_t XOR y), ties broken by the smaller value. The compiler evaluates it once.
namespace {

constexpr std::array<std::uint8_t, 256> makeWeights() {
    std::array<std::uint8_t, 256> weights{};
    for (unsigned e = 0; e < 256; ++e) weights[e] = static_cast<std::uint8_t>(gf256Weight(e));
    return weights;
}

constexpr std::array<std::uint8_t, cauchyColumnValueCount> makeColumnValues() {
    constexpr auto weights = makeWeights();
    std::array<std::uint8_t, cauchyColumnValueCount> table{};
    // cost[y]: total weight of the column of value y over the rows of the current m. Going from
    // m - 1 to m adds the one row x_(m-2).
    std::array<std::uint32_t, 256> cost{};
    std::array<std::uint32_t, 256> keys{};
    for (int m = 2; m <= 254; ++m) {
        const unsigned x = cauchyRowValues[m - 2];
        for (unsigned y = 1; y < 256; ++y) {
            if (y != x) cost[y] += weights[gf256Quotient(y, x ^ y)];
        }
        if (m < 7) continue;
        const int count = 255 - m;
        for (int c = 0; c < count; ++c) {
            const unsigned y = cauchyRowValues[m - 1 + c];
            keys[c] = cost[y] << 8 | y;
        }
        std::sort(keys.begin(), keys.begin() + count);
        for (int c = 0; c < count; ++c) table[cauchyColumnStart(m) + c] = static_cast<std::uint8_t>(keys[c] & 0xFF);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> makeInverses() {
    std::array<std::uint8_t, 256> inverses{};
    for (unsigned a = 1; a < 256; ++a) inverses[a] = gf256Quotient(1, a);
    return inverses;
}

static_assert(cauchyColumnStart(8) == 248 && cauchyColumnStart(254) == cauchyColumnValueCount - 1);

}  // namespace

constexpr std::array<std::uint8_t, cauchyColumnValueCount> cauchyColumnValues = makeColumnValues();
constexpr std::array<std::uint8_t, 256> cauchyFirstColumn = makeInverses();

}  // namespace kestrava::transport
