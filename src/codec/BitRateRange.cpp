#include "codec/BitRateRange.h"

#include <algorithm>

namespace kestrava::codec {

std::string bitRateRefusal(std::int32_t version, std::int32_t kbps, bool plusMode) {
    const std::string rate = std::to_string(kbps) + " kbit/s";
    if (version == 0) {
        if (std::find(legacyBitRates.begin(), legacyBitRates.end(), kbps) != legacyBitRates.end()) return {};
        return "codec version 0 takes 320, 340, 360, 384 or 400 kbit/s, not " + rate;
    }
    if (version == 1 || version == 2) {
        if (kbps >= 320 && kbps <= 576) return {};
        return "codec version " + std::to_string(version) + " takes 320..576 kbit/s, not " + rate;
    }
    if (version == 3) {
        const std::int32_t lowest = plusMode ? 160 : 320;
        if (kbps >= lowest && kbps <= 1000) return {};
        return std::string("codec version 3") + (plusMode ? " in Plus mode" : "") + " takes " +
               std::to_string(lowest) + "..1000 kbit/s, not " + rate;
    }
    return "codec version " + std::to_string(version) + " does not exist (0..3)";
}

}  // namespace kestrava::codec
