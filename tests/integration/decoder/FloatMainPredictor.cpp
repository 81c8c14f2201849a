#include "FloatMainPredictor.h"

#include <algorithm>
#include <bit>

namespace streamdecoder {

namespace {

// The 8-point rise of the frame's taper (the 15-point Hamming window's first half, as floats); the
// fall is the same values in reverse order.
constexpr std::uint32_t riseBits[8] = {0x3DA3D70A, 0x3DF5497F, 0x3E6DC5D1, 0x3ECBB348,
                                       0x3F168C9D, 0x3F451EB8, 0x3F698285, 0x3F7D6D3A};

float rise(int j) { return std::bit_cast<float>(riseBits[j]); }
float fall(int j) { return std::bit_cast<float>(riseBits[7 - j]); }

// Divisor floor of the recursion: 2^-114.
const float divisorFloor = std::bit_cast<float>(std::uint32_t{0x06800000});

}  // namespace

void FloatMainPredictor::clear() {
    frame.fill(0.0f);
    for (Row& row : coefTable) row.fill(0.0f);
    r.fill(0.0f);
}

// Four float lanes by t mod 4, summed ((c0 + c1) + c2) + c3: the grouping is part of the result.
float FloatMainPredictor::laneSum(int k, int from, int to) const {
    const float* w = frame.data() + guard;
    float c[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int t = from; t <= to; ++t) c[t & 3] = c[t & 3] + w[t] * w[t - k];
    return ((c[0] + c[1]) + c[2]) + c[3];
}

// The head run 4i..4i+11 and the tail run 308..319 through the same four lanes.
float FloatMainPredictor::edgeSum(int k, int head) const {
    const float* w = frame.data() + guard;
    float c[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int t = head; t <= head + 11; ++t) c[t & 3] = c[t & 3] + w[t] * w[t - k];
    for (int t = 308; t <= 319; ++t) c[t & 3] = c[t & 3] + w[t] * w[t - k];
    return ((c[0] + c[1]) + c[2]) + c[3];
}

void FloatMainPredictor::update(FloatMainHistory& h) {
    constexpr std::uint32_t ring = FloatMainHistory::ringLength;
    const std::uint32_t n = std::min<std::uint32_t>(h.fillCount, ring);
    const bool stale = h.sumsStale || n < ring;
    h.sumsStale = stale;
    float* w = frame.data() + guard;
    const std::uint32_t writePos = h.writePos % ring;

    if (stale) {
        std::fill(w, w + (frameLength - n), 0.0f);
        const std::uint32_t start = (writePos + ring - n % ring) % ring;
        for (std::uint32_t j = 0; j < n; ++j) w[frameLength - n + j] = h.samples[(start + j) % ring];
    } else {
        // Only the two edges are read while the middle sums are carried.
        for (std::uint32_t t = 0; t <= 20; ++t) w[t] = h.samples[(writePos + t) % ring];
        for (std::uint32_t t = 296; t < ring; ++t) w[t] = h.samples[(writePos + t) % ring];
    }

    // Rise first, then fall: in a short frame a sample can carry both factors.
    for (int j = 0; j < 8; ++j) w[frameLength - static_cast<int>(n) + j] *= rise(j);
    for (int j = 0; j < 8; ++j) w[312 + j] *= fall(j);

    for (int k = 0; k <= order; ++k) {
        const int head = 4 * (k / 4);
        if (n < ring) {
            r[static_cast<std::size_t>(k)] = laneSum(k, head, frameLength - 1);
            continue;
        }
        const double middle = stale ? static_cast<double>(laneSum(k, head + 12, 307))
                                    : h.middleSums[static_cast<std::size_t>(k)];
        r[static_cast<std::size_t>(k)] = static_cast<float>(middle) + edgeSum(k, head);
        // The pair at 308 enters the next call's middle run, the pair at head + 12 leaves it.
        const float entering = w[308] * w[308 - k];
        const float leaving = w[head + 12] * w[head + 12 - k];
        h.middleSums[static_cast<std::size_t>(k)] = middle + static_cast<double>(entering - leaving);
    }
    if (n >= ring) h.sumsStale = false;

    float e = r[0];
    for (int m = 1; m <= order; ++m) {
        const Row& previous = coefTable[static_cast<std::size_t>(m - 1)];
        Row& current = coefTable[static_cast<std::size_t>(m)];
        float acc = 0.0f;
        for (int j = 1; j < m; ++j) acc = acc + previous[j] * r[static_cast<std::size_t>(m - j)];
        const float divisor = e > divisorFloor ? e : divisorFloor;  // also when e is not a number
        const float inverse = 1.0f / divisor;
        const float k = (r[static_cast<std::size_t>(m)] - acc) * inverse;
        for (int j = 1; j < m; ++j) current[j] = previous[j] - k * previous[m - j];
        current[m] = k;
        e = (1.0f - k * k) * e;
    }
}

}  // namespace streamdecoder
