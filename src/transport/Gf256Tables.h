#pragma once

#include <array>
#include <cstdint>

namespace kestrava::transport {

// GF(256) with the field polynomial x^8 + x^7 + x^2 + x + 1 (0x187) and generator 2.
// Every table is constant data built by the compiler: shared by all coders, never written or freed.

inline constexpr unsigned gf256Polynomial = 0x187;

// 2 * x in the field: x shifted left within 8 bits, XOR 0x87 when bit 7 was set.
constexpr std::uint8_t gf256Twice(unsigned x) {
    x <<= 1;
    if (x & 0x100) x ^= gf256Polynomial;
    return static_cast<std::uint8_t>(x);
}

// gfExpTable[i] = 2^(i mod 255) for i = 0..510, zero after that.
inline constexpr std::array<std::uint8_t, 512> gfExpTable = [] {
    std::array<std::uint8_t, 512> exp{};
    unsigned x = 1;
    for (int i = 0; i < 255; ++i) {
        exp[i] = static_cast<std::uint8_t>(x);
        exp[i + 255] = static_cast<std::uint8_t>(x);
        x = gf256Twice(x);
    }
    exp[510] = 1;
    return exp;
}();

// gfLogTable[1] = 255, gfLogTable[a] = e with 2^e = a for a = 2..255; entry 0 (512) is never read.
inline constexpr std::array<std::uint16_t, 256> gfLogTable = [] {
    std::array<std::uint16_t, 256> log{};
    log[0] = 512;
    for (int i = 1; i < 255; ++i) log[gfExpTable[i]] = static_cast<std::uint16_t>(i);
    log[1] = 255;
    return log;
}();

// a * b and b / a (0 when either is 0), as the product and quotient tables hold them.
constexpr std::uint8_t gf256Product(unsigned a, unsigned b) {
    return a == 0 || b == 0 ? 0 : gfExpTable[gfLogTable[b] + gfLogTable[a]];
}
constexpr std::uint8_t gf256Quotient(unsigned b, unsigned a) {
    return a == 0 || b == 0 ? 0 : gfExpTable[gfLogTable[b] + 255u - gfLogTable[a]];
}

// Number of set bits in the eight bit-rows e, 2e, ... 128e: the sub-block XORs the element costs.
constexpr int gf256Weight(unsigned e) {
    int weight = 0;
    for (int i = 0; i < 8; ++i) {
        weight += __builtin_popcount(e);
        e = gf256Twice(e);
    }
    return weight;
}

// gf256MulTable[256 * a + b] = a * b; row 0 and column 0 are zero. Row 2 is the doubling table.
extern const std::array<std::uint8_t, 65536> gf256MulTable;
// gf256DivTable[256 * a + b] = b / a; row 0 (division by zero) and column 0 are zero.
extern const std::array<std::uint8_t, 65536> gf256DivTable;

}  // namespace kestrava::transport
