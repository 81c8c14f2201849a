#pragma once

#include <array>
#include <cstdint>

#include "transport/CauchyRowValues.h"

namespace kestrava::transport {

// Constant tables behind every coefficient of the erasure code. The element of matrix row t
// (recovery block t + 1) and column j (data block j) is f_t * y_j / (x_t XOR y_j) over GF(256).
// These bytes are a contract with every receiver: never change them.

// cauchyRowValues (x_t) is generated data of its own header.

// cauchyFirstColumn[a] = 1 / a (entry 0 is 0): column 0 of a computed matrix, whose column value is 1.
extern const std::array<std::uint8_t, 256> cauchyFirstColumn;

// Column values y_1 .. y_(255-m) of the computed matrices, one sequence per m = 7..254 back to back,
// sequence m starting at cauchyColumnStart(m).
inline constexpr int cauchyColumnValueCount = 30876;
extern const std::array<std::uint8_t, cauchyColumnValueCount> cauchyColumnValues;
constexpr int cauchyColumnStart(int m) { return (m - 7) * (504 - m) / 2; }

// The finished element matrices of m = 2..6 (index m; entries 0 and 1 are null): m - 1 rows of
// 256 - m elements each, row after row.
inline constexpr int cauchyFixedMaxM = 6;
extern const std::uint8_t* const cauchyFixedRows[cauchyFixedMaxM + 1];

}  // namespace kestrava::transport
