#pragma once

// The version-0 predictor of one channel, rebuilt from nothing for every sample: the channel's N
// newest reconstructions are windowed, autocorrelated, run through the Levinson-Durbin recursion
// for every order up to N-1, and the order with the least prediction error predicts the sample.
// Nothing of it travels in the stream, so every product and sum keeps the encoder's order.
#include <array>
#include <cstddef>

namespace streamdecoder {

template <std::size_t N>
class LegacyPredictor {
    static_assert(N == 16 || N == 6, "the main channels use 16 samples, the third channel 6");

public:
    // The window over the N newest reconstructions, oldest first.
    static const std::array<double, N>& window();
    // Multiplies every sum of products of the windowed history: 1/N.
    static double scale();

    // ring: the channel's reconstructions; writeIndex: the slot the next one goes to, which holds
    // the oldest. Returns the prediction, limited to +-1.5.
    double predict(const std::array<double, N>& ring, std::size_t writeIndex);

    // What the last predict() worked out, for diagnostics and tests.
    std::size_t order() const { return order_; }
    const std::array<double, N>& predictionError() const { return error_; }

private:
    std::array<double, N> windowed_{}, autocorr_{}, error_{};
    // Row m holds the order-m predictor in entries 1..m; entry 0 is never written.
    std::array<std::array<double, N>, N> coef_{};
    std::size_t order_ = 0;
};

extern template class LegacyPredictor<16>;
extern template class LegacyPredictor<6>;

}  // namespace streamdecoder
