#include "FloatThirdPredictor.h"

#include <algorithm>
#include <bit>

namespace streamdecoder {

namespace {

// 0.54 - 0.46 cos(2 pi t / 7) for t = 0..3, as floats.
constexpr std::uint32_t taperBits[4] = {0x3DA3D70A, 0x3E81A2BC, 0x3F2471AE, 0x3F74568D};

float taper(int t) { return std::bit_cast<float>(taperBits[t]); }

const float divisorFloor = std::bit_cast<float>(std::uint32_t{0x06800000});

float floored(float e) { return e > divisorFloor ? e : divisorFloor; }

}  // namespace

void FloatThirdPredictor::clear() {
    buffer.fill(0.0f);
    a.fill(0.0f);
}

void FloatThirdPredictor::update(const FloatThirdHistory& h) {
    constexpr int ring = static_cast<int>(FloatThirdHistory::ringLength);
    const int m = static_cast<int>(std::min<std::uint32_t>(h.fillCount, FloatThirdHistory::ringLength));
    const int writePos = static_cast<int>(h.writePos % FloatThirdHistory::ringLength);
    std::fill(buffer.begin(), buffer.begin() + (ring - m), 0.0f);
    for (int j = 0; j < m; ++j) {
        buffer[static_cast<std::size_t>(ring - m + j)] =
            h.samples[static_cast<std::size_t>((writePos - m + j + 2 * ring) % ring)];
    }
    for (int t = 0; t < 4 && ring - m + t <= ring - 1; ++t) buffer[static_cast<std::size_t>(ring - m + t)] *= taper(t);
    for (int t = 0; t < 4; ++t) buffer[static_cast<std::size_t>(ring - 1 - t)] *= taper(t);

    float r[4];
    for (int k = 0; k < 4; ++k) {
        float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int j = k; j < ring; ++j) {
            s[j & 3] = s[j & 3] + buffer[static_cast<std::size_t>(j)] * buffer[static_cast<std::size_t>(j - k)];
        }
        r[k] = ((s[0] + s[1]) + s[2]) + s[3];
    }

    const float k1 = r[1] * (1.0f / floored(r[0]));
    const float e1 = (1.0f - k1 * k1) * r[0];
    const float k2 = (r[2] - r[1] * k1) * (1.0f / floored(e1));
    const float a21 = k1 - k2 * k1;
    const float e2 = (1.0f - k2 * k2) * e1;
    const float k3 = (r[3] - (r[2] * a21 + r[1] * k2)) * (1.0f / floored(e2));
    a[1] = a21 - k3 * k2;
    a[2] = k2 - a21 * k3;
    a[3] = k3;
}

}  // namespace streamdecoder
