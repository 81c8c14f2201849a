#pragma once

#include <cstddef>

namespace kestrava::audio::demod {

// One cycle of the regenerated pilot and its harmonics, for phases p = k/4096 in cycles, with two
// rows past the end so that linear interpolation between rows k and k+1 (k <= 4095) never wraps.
//   carrierTable[k] = { sin 2πp, sin 4πp, sin 6πp, cos 4πp }   (pilot, 38 kHz, 57 kHz, 38 kHz quadrature)
//   rdsQuadratureCarrierTable[k] = cos 6πp                    (57 kHz quadrature)
// Each value is computed in double precision and rounded to single precision once.
struct CarrierTables {
    static constexpr std::size_t rows = 4098;

    CarrierTables();

    alignas(64) float carrierTable[rows][4];
    alignas(64) float rdsQuadratureCarrierTable[rows];
};

}  // namespace kestrava::audio::demod
