#include "audio/demod/CarrierTables.h"

#include <cmath>

namespace kestrava::audio::demod {

CarrierTables::CarrierTables() {
    constexpr double twoPi = 6.283185307179586;
    constexpr double fourPi = 12.566370614359172;
    constexpr double sixPi = 18.84955592153876;
    constexpr double halfPi = 1.5707963267948966;
    for (std::size_t k = 0; k < rows; ++k) {
        const double x = static_cast<double>(k) * 0x1p-12;
        // The cosines are sines of shifted arguments, as the tables on the decoding side are made.
        carrierTable[k][0] = static_cast<float>(std::sin(x * twoPi));
        carrierTable[k][1] = static_cast<float>(std::sin(x * fourPi));
        carrierTable[k][2] = static_cast<float>(std::sin(x * sixPi));
        carrierTable[k][3] = static_cast<float>(std::sin((x + 0.125) * fourPi));
        rdsQuadratureCarrierTable[k] = static_cast<float>(std::sin(x * sixPi + halfPi));
    }
}

}  // namespace kestrava::audio::demod
