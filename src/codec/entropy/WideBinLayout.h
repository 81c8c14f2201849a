#pragma once

#include <array>
#include <cstdint>

namespace kestrava::codec::entropy {

// Bins of the wide histogram over the magnitudes 0..254 for a bit rate: bins 0..k one magnitude
// wide, k = max(2, (rate >> 6) - 2) with a negative rate taken as 0; each later bin as wide as
// the two before it together. The layout ends with the bin that reaches 254 (cut off there) or
// with the 255th bin. The header does not carry it: encoder and decoder derive it from the rate.
struct WideBinLayout {
    static constexpr std::int32_t maxBins = 255;
    static constexpr std::int32_t magnitudeLimit = 255;  // magnitudes 0..254 have bins

    explicit WideBinLayout(std::int32_t rate);

    std::int32_t binCount = 0;
    std::array<std::uint32_t, maxBins> first{};  // first magnitude of each bin
    std::array<std::uint32_t, maxBins> width{};  // layout width, also of the cut last bin
};

}  // namespace kestrava::codec::entropy
