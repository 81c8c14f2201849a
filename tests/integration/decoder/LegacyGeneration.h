#pragma once

// Codec version 0: two main channels with 16-sample predictors and a step that follows each
// channel's residual power times its step factor, and a third channel with a 6-sample predictor
// whose step follows the main channels' steps of the same sample. Every reset packet reloads the
// main histories, powers and step factors from their byte form, clears the third history and
// rebuilds the level table from the bit rate.
#include "GenerationDecoder.h"
#include "LegacyLevelTable.h"
#include "LegacyPredictor.h"
#include "LegacyRateControl.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace streamdecoder {

class LegacyGeneration final : public GenerationDecoder {
public:
    void loadReset(const ResetPacket& reset, const StreamParameters& parameters) override;
    // Throws std::out_of_range, before any state changes, for a frame before the first reset
    // packet, a frame longer than maxPlaneLength or a code beyond the level table.
    void decode(const DecodedFrame& frame, const std::array<float*, 3>& planes) override;

    // State after the last call, for diagnostics and tests.
    struct MainChannel {
        std::array<double, 16> ring{};
        std::size_t writeIndex = 0;  // the next slot written, holding the oldest sample
        double power = 0.0;
        double stepFactor = 0.0;
    };
    const MainChannel& mainChannel(std::size_t c) const { return main_[c]; }
    const LegacyLevelTable& levels() const { return levels_; }
    std::int32_t reservoir() const { return rate_.reservoir(); }

private:
    void check(const DecodedFrame& frame) const;
    void decodeMain(std::size_t c, const std::vector<std::int32_t>& codes, std::size_t n, float* out,
                    float& energy);
    void decodeThird(const std::vector<std::int32_t>& codes, std::size_t n, float* out);
    double reconstruction(std::int32_t code, double step) const;

    std::array<MainChannel, 2> main_;
    std::array<LegacyPredictor<16>, 2> mainPredictors_;
    std::array<double, 6> thirdRing_{};
    std::size_t thirdWriteIndex_ = 0;
    LegacyPredictor<6> thirdPredictor_;
    LegacyLevelTable levels_;
    LegacyRateControl rate_;
    std::uint16_t bitRate_ = 0;
    bool configured_ = false;
    // Each main channel's step of every sample of the frame; the third channel's step follows them.
    std::array<std::array<double, maxPlaneLength>, 2> steps_{};
};

}  // namespace streamdecoder
