#pragma once

#include <array>
#include <cstddef>
#include <utility>

// Fixed-order steps of the Levinson-Durbin recursion, written out at compile time: with constant
// indices the current row lives in registers, so the serial chain from one reflection coefficient
// to the next carries no stores and reloads. Every sum and product keeps the plain loops' order
// (left to right, one operation at a time); the coded stream depends on it.
namespace kestrava::codec::levinson_steps {

template <class T, std::size_t N>
using Row = std::array<T, N>;

// ((0 + a[1] r[m-1]) + a[2] r[m-2]) + ... + a[m-1] r[1]
template <int M, class T, std::size_t N, std::size_t... I>
inline T backwardDot([[maybe_unused]] const Row<T, N>& a, [[maybe_unused]] const T* r, std::index_sequence<I...>) {
    T s = T(0);
    ((s = s + a[I + 1] * r[M - 1 - I]), ...);
    return s;
}

template <int M, class T, std::size_t N>
inline T backwardDot(const Row<T, N>& a, const T* r) {
    return backwardDot<M>(a, r, std::make_index_sequence<M - 1>{});
}

// The order-m row from the order-(m-1) one: a[j] - k a[m-j] for j < m, k at m.
template <int M, class T, std::size_t N, std::size_t... I>
inline Row<T, N> reflect(const Row<T, N>& a, T k, std::index_sequence<I...>) {
    Row<T, N> next = a;
    ((next[I + 1] = a[I + 1] - k * a[M - 1 - I]), ...);
    next[M] = k;
    return next;
}

template <int M, class T, std::size_t N>
inline Row<T, N> reflect(const Row<T, N>& a, T k) {
    return reflect<M>(a, k, std::make_index_sequence<M - 1>{});
}

// table[m][1..m] = a[1..m]
template <int M, class T, std::size_t N, std::size_t... I>
inline void storeRow(const Row<T, N>& a, T* tableRow, std::index_sequence<I...>) {
    ((tableRow[I + 1] = a[I + 1]), ...);
}

template <int M, class T, std::size_t N>
inline void storeRow(const Row<T, N>& a, T* tableRow) {
    storeRow<M>(a, tableRow, std::make_index_sequence<M>{});
}

}  // namespace kestrava::codec::levinson_steps
