#pragma once

// Test-side model of the erasure code, independent of the encoder: its own GF(256) arithmetic
// from the polynomial 0x187, its own derivation of the element matrices, the bit-by-bit action
// of an element on a block, and a decoder that rebuilds lost data blocks.
#include "FixedMatrixParameters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace reference {

using Bytes = std::vector<std::uint8_t>;

// Shift-and-add multiplication, reduced by x^8 + x^7 + x^2 + x + 1.
inline unsigned mul(unsigned a, unsigned b) {
    unsigned r = 0;
    while (b != 0) {
        if (b & 1) r ^= a;
        a <<= 1;
        if (a & 0x100) a ^= 0x187;
        b >>= 1;
    }
    return r;
}

inline unsigned inverse(unsigned a) {  // a^254; 0 for 0
    unsigned r = 1;
    for (int i = 0; i < 254; ++i) r = mul(r, a);
    return a == 0 ? 0 : r;
}

inline unsigned div(unsigned b, unsigned a) { return mul(b, inverse(a)); }

inline int weight(unsigned e) {
    int w = 0;
    for (int i = 0; i < 8; ++i, e = mul(e, 2)) w += __builtin_popcount(e);
    return w;
}

// Inverse table built once from mul, for the heavier loops of the tests.
inline const std::vector<std::uint8_t>& inverses() {
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> t(256, 0);
        for (unsigned a = 1; a < 256; ++a) t[a] = static_cast<std::uint8_t>(inverse(a));
        return t;
    }();
    return table;
}
inline unsigned fastDiv(unsigned b, unsigned a) { return mul(b, inverses()[a]); }
inline int fastWeight(unsigned e) {
    static const std::vector<int> table = [] {
        std::vector<int> t(256);
        for (unsigned v = 0; v < 256; ++v) t[v] = weight(v);
        return t;
    }();
    return table[e];
}

// Column values y_1 .. y_(255-m) of a computed matrix (m >= 7), from the rule: the values that are
// not among the first m - 1 row values, by ascending total column weight, then by value.
inline std::vector<unsigned> columnValues(int m) {
    const auto& x = fixture::rowValuesDecimal;
    std::vector<std::pair<int, unsigned>> ranked;
    for (int c = m - 1; c < 254; ++c) {
        const unsigned y = static_cast<unsigned>(x[c]);
        int cost = 0;
        for (int t = 0; t < m - 1; ++t) cost += fastWeight(fastDiv(y, static_cast<unsigned>(x[t]) ^ y));
        ranked.push_back({cost, y});
    }
    std::sort(ranked.begin(), ranked.end());
    std::vector<unsigned> values;
    for (const auto& r : ranked) values.push_back(r.second);
    return values;
}

// Element matrix of (k, m), m - 1 rows of k elements: fixed matrices from parametrisation B,
// computed ones from the row values and the column rule.
inline std::vector<Bytes> elementMatrix(int k, int m) {
    std::vector<Bytes> rows(m - 1, Bytes(k));
    if (m <= 6) {
        const auto& p = fixture::parametersB[m - 2];
        for (int t = 0; t < m - 1; ++t) {
            for (int j = 0; j < k; ++j) {
                rows[t][j] = static_cast<std::uint8_t>(
                    fastDiv(p.rowFactors[t], static_cast<unsigned>(p.columnValues[j] ^ p.rowValues[t])));
            }
        }
        return rows;
    }
    const std::vector<unsigned> y = columnValues(m);
    for (int t = 0; t < m - 1; ++t) {
        const unsigned x = static_cast<unsigned>(fixture::rowValuesDecimal[t]);
        for (int j = 0; j < k; ++j) {
            const unsigned yj = j == 0 ? 1 : y[j - 1];
            rows[t][j] = static_cast<std::uint8_t>(fastDiv(yj, x ^ yj));
        }
    }
    return rows;
}

// out ^= the action of e on `in` (8 sub-blocks of s bytes): sub-block b of `in` goes into
// sub-block i of `out` when bit b of e * 2^i is set.
inline void addAction(std::uint8_t* out, const std::uint8_t* in, unsigned e, int s) {
    for (int i = 0; i < 8; ++i, e = mul(e, 2)) {
        for (int b = 0; b < 8; ++b) {
            if (e & (1u << b)) {
                for (int p = 0; p < s; ++p) out[i * s + p] ^= in[b * s + p];
            }
        }
    }
}

// Recovery blocks 0 .. m - 1 of k data blocks (k >= 2, m >= 1), by the definition.
inline Bytes encode(const std::vector<Bytes>& data, int m) {
    const int k = static_cast<int>(data.size());
    const int b = static_cast<int>(data[0].size());
    Bytes out(static_cast<std::size_t>(m) * b, 0);
    if (b == 0) return out;
    for (const Bytes& block : data) {
        for (int p = 0; p < b; ++p) out[p] ^= block[p];
    }
    if (m >= 2) {
        const auto rows = elementMatrix(k, m);
        for (int r = 1; r < m; ++r) {
            for (int j = 0; j < k; ++j) addAction(&out[r * b], data[j].data(), rows[r - 1][j], b / 8);
        }
    }
    return out;
}

// Rebuilds the data blocks of a group from the blocks that arrived: `blocks` holds the k data
// blocks and then the m recovery blocks (block k + r is recovery block r); lost[i] marks a block
// that did not arrive. Works on the field elements: the action of elements on blocks is a field
// representation (the action of a * b is the action of a after that of b), so a matrix inverted
// over GF(256) undoes the code. Returns nothing when more than m blocks are lost.
inline std::optional<std::vector<Bytes>> decode(const std::vector<Bytes>& blocks, const std::vector<bool>& lost,
                                                int k, int m) {
    const int b = static_cast<int>(blocks[0].size());
    const auto rows = elementMatrix(k, std::max(m, 2));
    auto generatorRow = [&](int q) {  // coefficients of block q over the data blocks
        Bytes g(k, 0);
        if (q < k) {
            g[q] = 1;
        } else if (q == k) {
            std::fill(g.begin(), g.end(), 1);
        } else {
            g = rows[q - k - 1];
        }
        return g;
    };
    std::vector<int> chosen;
    for (int q = 0; q < k + m && static_cast<int>(chosen.size()) < k; ++q) {
        if (!lost[q]) chosen.push_back(q);
    }
    if (static_cast<int>(chosen.size()) < k) return std::nullopt;
    // Gauss-Jordan on [A | I] over GF(256).
    std::vector<Bytes> a(k), inv(k, Bytes(k, 0));
    for (int i = 0; i < k; ++i) {
        a[i] = generatorRow(chosen[i]);
        inv[i][i] = 1;
    }
    for (int col = 0; col < k; ++col) {
        int pivot = col;
        while (pivot < k && a[pivot][col] == 0) ++pivot;
        if (pivot == k) return std::nullopt;  // singular: the code would not be MDS
        std::swap(a[pivot], a[col]);
        std::swap(inv[pivot], inv[col]);
        const unsigned scale = inverses()[a[col][col]];
        for (int c = 0; c < k; ++c) {
            a[col][c] = static_cast<std::uint8_t>(mul(a[col][c], scale));
            inv[col][c] = static_cast<std::uint8_t>(mul(inv[col][c], scale));
        }
        for (int r = 0; r < k; ++r) {
            const unsigned f = a[r][col];
            if (r == col || f == 0) continue;
            for (int c = 0; c < k; ++c) {
                a[r][c] ^= static_cast<std::uint8_t>(mul(f, a[col][c]));
                inv[r][c] ^= static_cast<std::uint8_t>(mul(f, inv[col][c]));
            }
        }
    }
    std::vector<Bytes> data(k);
    for (int j = 0; j < k; ++j) {
        if (!lost[j]) {
            data[j] = blocks[j];
            continue;
        }
        data[j].assign(b, 0);
        for (int i = 0; i < k; ++i) {
            if (inv[j][i] != 0) addAction(data[j].data(), blocks[chosen[i]].data(), inv[j][i], b / 8);
        }
    }
    return data;
}

}  // namespace reference
