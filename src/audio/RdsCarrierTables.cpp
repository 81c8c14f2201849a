#include "audio/RdsCarrierTables.h"

#include <cmath>
#include <numbers>

namespace kestrava::audio {

RdsCarrierTables::RdsCarrierTables() {
    constexpr double pi = std::numbers::pi;
    for (int k = 0; k < rows; ++k) {
        const double x = k / 4096.0;
        harmonics[k][0] = static_cast<float>(std::sin(2.0 * pi * x));
        harmonics[k][1] = static_cast<float>(std::sin(4.0 * pi * x));
        harmonics[k][2] = static_cast<float>(std::sin(6.0 * pi * x));
        harmonics[k][3] = static_cast<float>(std::sin(4.0 * pi * (x + 0.125)));
        thirdCosine[k] = static_cast<float>(std::sin(6.0 * pi * x + pi / 2.0));
    }
}

}  // namespace kestrava::audio
