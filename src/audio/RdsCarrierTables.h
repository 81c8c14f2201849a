#pragma once

#include <cstdint>

namespace kestrava::audio {

// The carrier tables of the RDS section writer, indexed by a phase in 4096ths of a turn:
// the fundamental, its second and third harmonic and the quadrature (cosine) forms of the second
// and third harmonic. 4098 rows: rows 4096 and 4097 repeat rows 0 and 1, so that a read of two
// neighbours never wraps. Computed in double precision, stored as float.
struct RdsCarrierTables {
    static constexpr int rows = 4098;

    RdsCarrierTables();

    // sin 2πx, sin 4πx, sin 6πx, cos 4πx for x = row / 4096.
    float harmonics[rows][4];
    // cos 6πx.
    float thirdCosine[rows];
};

}  // namespace kestrava::audio
