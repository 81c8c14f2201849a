#pragma once

// The order-11 predictor of the single-precision generation's main channels. Before every sample
// its coefficients are derived again from the channel's last 320 reconstructions: a frame with an
// 8-point rise and fall, the autocorrelation at lags 0..11 and a float Levinson-Durbin recursion.
// Once the ring is full, the untapered middle of each lag's sum is carried from call to call in
// double and corrected by one pair in and one pair out; its rounding drift is part of the result,
// so the sums are never rebuilt until a reset empties the ring again.
#include <array>
#include <cstdint>

namespace streamdecoder {

// The reconstruction ring of one main channel and the sums its predictor carries.
struct FloatMainHistory {
    static constexpr std::uint32_t ringLength = 320;
    std::array<float, ringLength> samples{};
    std::uint32_t writePos = 0;   // slot of the next reconstruction
    std::uint32_t fillCount = 0;  // reconstructions since the last reset (wraps at 2^32)
    float lastPrediction = 0.0f, priorPrediction = 0.0f;
    bool sumsStale = false;                // middleSums must be rebuilt at the next full frame
    std::array<double, 12> middleSums{};  // per lag: the middle part of the NEXT call's sum
};

class FloatMainPredictor {
public:
    static constexpr int order = 11;
    using Row = std::array<float, order + 1>;  // entries 1..m of row m hold a_m[1..m]

    // Reads the ring, rewrites the frame and every row of the recursion; moves the carried sums on.
    void update(FloatMainHistory& history);
    // The state a reset leaves: frame and recursion zero.
    void clear();

    const Row& row(int m) const { return coefTable[static_cast<std::size_t>(m)]; }
    const Row& coefficients() const { return coefTable[order]; }
    // R[0..11] of the latest update.
    const Row& correlation() const { return r; }

private:
    static constexpr int guard = 16, frameLength = 320, spare = 24;
    float laneSum(int k, int from, int to) const;
    float edgeSum(int k, int head) const;

    std::array<float, guard + frameLength + spare> frame{};  // reads before w[0] see the zero guard
    std::array<Row, order + 1> coefTable{};
    Row r{};
};

}  // namespace streamdecoder
