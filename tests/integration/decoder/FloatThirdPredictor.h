#pragma once

// The order-3 predictor of the single-precision generation's third channel: before every sample,
// the last (up to) 32 reconstructions with a 4-point rise and fall, the autocorrelation at lags
// 0..3 and a float Levinson-Durbin recursion.
#include <array>
#include <cstdint>

namespace streamdecoder {

struct FloatThirdHistory {
    static constexpr std::uint32_t ringLength = 32;
    std::array<float, ringLength> samples{};
    std::uint32_t writePos = 0;
    std::uint32_t fillCount = 0;
    float lastPrediction = 0.0f, priorPrediction = 0.0f;
};

class FloatThirdPredictor {
public:
    void update(const FloatThirdHistory& history);
    void clear();
    // a1..a3 in entries 1..3: a_k weighs the reconstruction k samples back.
    const std::array<float, 4>& coefficients() const { return a; }

private:
    std::array<float, FloatThirdHistory::ringLength> buffer{};
    std::array<float, 4> a{};
};

}  // namespace streamdecoder
