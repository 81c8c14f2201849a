#pragma once

// The plane rebuilder of the double-precision generation (codec versions 1 and 2). Per frame it
// runs each main channel's predictive dequantiser over its codes, then the third channel with a
// step taken from the two main channels' steps of the same sample, and finally replays the rate
// control with the frame's length. Version 1 keeps the simple bit reservoir, version 2 shares it
// out over five budgets.
#include "GenerationDecoder.h"
#include "DoublePredictors.h"
#include "RateReplay.h"

#include <vector>

namespace streamdecoder {

class DoubleGeneration : public GenerationDecoder {
public:
    explicit DoubleGeneration(int version);
    void loadReset(const ResetPacket& reset, const StreamParameters& parameters) override;
    void decode(const DecodedFrame& frame, const std::array<float*, 3>& planes) override;

    // The state a test may look at between frames.
    const RateReplay<double>& rate() const { return rate_; }
    const MainRing& mainRing(int c) const { return mains_[c]; }
    const ThirdRing& thirdRing() const { return third_; }

private:
    // Rebuilds channel c into out; fills steps_[c] and returns the float energy of the samples.
    float decodeMain(int c, const std::vector<std::int32_t>& codes, std::size_t n, float* out);
    void decodeThird(const std::vector<std::int32_t>& codes, std::size_t n, float* out);

    int version_;
    bool loaded_ = false;
    RateReplay<double> rate_;
    std::array<MainRing, 2> mains_;
    ThirdRing third_;
    std::array<std::vector<double>, 2> steps_;  // each main-channel sample's effective step
};

}  // namespace streamdecoder
