#include "codec/entropy/WideBinLayout.h"

namespace kestrava::codec::entropy {

WideBinLayout::WideBinLayout(std::int32_t rate) {
    const std::uint32_t r = rate < 0 ? 0u : std::uint32_t(rate);
    const std::uint32_t shifted = r >> 6;
    const std::uint32_t reduced = shifted > 2 ? shifted - 2 : 0;
    const std::uint32_t k = reduced > 2 ? reduced : 2;
    std::uint32_t magnitude = 0;
    while (binCount < maxBins && magnitude < std::uint32_t(magnitudeLimit)) {
        const auto i = std::uint32_t(binCount);
        const std::uint32_t w = i <= k ? 1u : width[i - 1] + width[i - 2];
        first[i] = magnitude;
        width[i] = w;
        magnitude += w;
        ++binCount;
    }
}

}  // namespace kestrava::codec::entropy
