#pragma once

// The single-precision generation (codec version 3) on the decoding side: two main channels with
// order-11 predictors, a third channel with an order-3 predictor whose step follows the main
// channels' steps, and the rate control that moves the main channels' step factors after every
// frame. All in float, in the order the stream's description gives, with gradual underflow.
#include "FloatMainPredictor.h"
#include "FloatThirdPredictor.h"
#include "GenerationDecoder.h"
#include "RateReplay.h"

#include <vector>

namespace streamdecoder {

// The 12 history samples a reset packet's channel record reloads, oldest first.
std::array<float, 12> reloadedHistory(const ChannelRecord& record);

// A raw prediction beyond 3.0 in magnitude gives way to an extrapolation of the last two
// predictions, never past the last one and never against its sign; then it is clamped to 1.5.
float boundedPrediction(float raw, float last, float prior);

// The variable-bit-rate noise level that the rate block's byte stands for: the smallest level that
// compresses to it, which is the level itself for every level the settings offer.
std::int32_t expandedNoiseLevel(std::uint8_t byte);

class FloatGeneration final : public GenerationDecoder {
public:
    void loadReset(const ResetPacket& reset, const StreamParameters& parameters) override;
    void decode(const DecodedFrame& frame, const std::array<float*, 3>& planes) override;

private:
    struct MainChannel {
        FloatMainHistory history;
        FloatMainPredictor predictor;
    };

    // Returns the float sum of the squared reconstructions, in sample order.
    float decodeMain(int c, const std::int32_t* codes, std::size_t n, float* out);
    void decodeThird(const std::int32_t* codes, std::size_t n, float* out);

    bool loaded = false;
    std::array<MainChannel, 2> mains;
    RateReplay<float> rate;  // power, step factor, class and floors of both main channels
    FloatThirdHistory third;
    FloatThirdPredictor thirdPredictor;
    // Effective step of every main-channel sample of the frame; the third channel's step follows.
    std::array<std::vector<float>, 2> steps{std::vector<float>(maxPlaneLength), std::vector<float>(maxPlaneLength)};
};

}  // namespace streamdecoder
