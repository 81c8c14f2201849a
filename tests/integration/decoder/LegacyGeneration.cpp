#include "LegacyGeneration.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace streamdecoder {

namespace {

constexpr double minStep = 0x1p-15;
constexpr double newPowerWeight = 0.1;
constexpr double oldPowerWeight = 0.9;
// 1.4142 as a float, widened: not the square root of 2.
constexpr double thirdStepDivisor = static_cast<double>(1.4142f);
constexpr double thirdStepFloor = 0.02;
constexpr std::uint32_t codecRate = 38400;

std::uint64_t magnitude(std::int32_t code) {
    return static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(code)));
}

}  // namespace

std::unique_ptr<GenerationDecoder> makeLegacyGeneration() {
    return std::make_unique<LegacyGeneration>();
}

void LegacyGeneration::loadReset(const ResetPacket& reset, const StreamParameters&) {
    for (std::size_t c = 0; c < 2; ++c) {
        const ChannelRecord& record = reset.records[c];
        MainChannel& ch = main_[c];
        // Oldest sample first, and slot 0 is the next one overwritten.
        for (std::size_t k = 0; k < 16; ++k) ch.ring[k] = (static_cast<int>(record.history[k]) - 128) / 128.0;
        ch.writeIndex = 0;
        ch.power = static_cast<double>(record.power) * (1.0 / 255.0) * 0.05;
        const double root = static_cast<double>(record.qualityScale) * 8.0 * (1.0 / 255.0);
        ch.stepFactor = root * root;
    }
    thirdRing_.fill(0.0);
    thirdWriteIndex_ = 0;
    bitRate_ = reset.bitRate;
    rate_.reset(reset.bitRate);
    levels_.build(reset.bitRate);
    configured_ = true;
}

void LegacyGeneration::check(const DecodedFrame& frame) const {
    if (!configured_) throw std::out_of_range("version 0: no reset packet yet");
    const std::size_t n = frame.planeLength;
    if (n > maxPlaneLength) throw std::out_of_range("version 0: frame longer than a plane");
    for (const std::vector<std::int32_t>& codes : frame.codes) {
        if (codes.size() < n) throw std::out_of_range("version 0: fewer codes than samples");
        for (std::size_t i = 0; i < n; ++i) {
            if (magnitude(codes[i]) >= levels_.count()) {
                throw std::out_of_range("version 0: code beyond the level table");
            }
        }
    }
}

double LegacyGeneration::reconstruction(std::int32_t code, double step) const {
    const double r = levels_[magnitude(code)] * step;
    return code < 0 ? -r : r;
}

void LegacyGeneration::decodeMain(std::size_t c, const std::vector<std::int32_t>& codes, std::size_t n, float* out,
                                  float& energy) {
    MainChannel& ch = main_[c];
    LegacyPredictor<16>& predictor = mainPredictors_[c];
    const double divisor = legacyStepDivisor(bitRate_);
    for (std::size_t i = 0; i < n; ++i) {
        const double p = predictor.predict(ch.ring, ch.writeIndex);
        double s = ch.stepFactor * std::sqrt(ch.power) / divisor;
        if (s < minStep) s = minStep;
        const double r = reconstruction(codes[i], s);
        const double y = p + r;
        steps_[c][i] = s;
        ch.power = (newPowerWeight * r) * r + oldPowerWeight * ch.power;
        ch.ring[ch.writeIndex] = y;
        ch.writeIndex = (ch.writeIndex + 1) % 16;
        // A single-precision sum, each addition done in double.
        energy = static_cast<float>(static_cast<double>(energy) + y * y);
        out[i] = static_cast<float>(y);
    }
}

void LegacyGeneration::decodeThird(const std::vector<std::int32_t>& codes, std::size_t n, float* out) {
    for (std::size_t i = 0; i < n; ++i) {
        const double p = thirdPredictor_.predict(thirdRing_, thirdWriteIndex_);
        double s = std::max(steps_[0][i], steps_[1][i]) / thirdStepDivisor;
        if (s < thirdStepFloor) s = thirdStepFloor;
        const double y = p + reconstruction(codes[i], s);
        thirdRing_[thirdWriteIndex_] = y;
        thirdWriteIndex_ = (thirdWriteIndex_ + 1) % 6;
        out[i] = static_cast<float>(y);
    }
}

void LegacyGeneration::decode(const DecodedFrame& frame, const std::array<float*, 3>& planes) {
    check(frame);
    const std::size_t n = frame.planeLength;
    float energy = 0.0f;
    decodeMain(0, frame.codes[0], n, planes[0], energy);
    decodeMain(1, frame.codes[1], n, planes[1], energy);
    decodeThird(frame.codes[2], n, planes[2]);

    // The encoder's rate control learns from the frame after sending it.
    // Unsigned 32-bit, as the encoder computes it.
    const std::uint32_t durationMicros = static_cast<std::uint32_t>(n) * 1000000u / codecRate;
    std::array<double, 2> stepFactors = {main_[0].stepFactor, main_[1].stepFactor};
    rate_.update(durationMicros, static_cast<std::uint32_t>(frame.rateBytes()), energy,
                 static_cast<std::uint32_t>(2 * n), stepFactors);
    main_[0].stepFactor = stepFactors[0];
    main_[1].stepFactor = stepFactors[1];
}

}  // namespace streamdecoder
