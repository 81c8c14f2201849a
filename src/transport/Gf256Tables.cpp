#include "transport/Gf256Tables.h"

namespace kestrava::transport {

namespace {

constexpr std::array<std::uint8_t, 65536> makeTable(bool divide) {
    std::array<std::uint8_t, 65536> table{};
    for (unsigned a = 1; a < 256; ++a) {
        for (unsigned b = 1; b < 256; ++b) table[256 * a + b] = divide ? gf256Quotient(b, a) : gf256Product(a, b);
    }
    return table;
}

static_assert(gf256Twice(0x80) == 0x87 && gf256Twice(0xC3) == 0x01);
static_assert(gfExpTable[255] == 1 && gfExpTable[510] == 1 && gfExpTable[511] == 0);

}  // namespace

constexpr std::array<std::uint8_t, 65536> gf256MulTable = makeTable(false);
constexpr std::array<std::uint8_t, 65536> gf256DivTable = makeTable(true);

}  // namespace kestrava::transport
