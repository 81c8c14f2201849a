#include "DoubleGeneration.h"

#include "DoubleLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace streamdecoder {

namespace {

constexpr double predictionLimit = 1.5;
constexpr double thirdStepDivisor = static_cast<double>(1.4142f);
constexpr double thirdStepFloor = 0.02;

// A NaN prediction becomes the lower limit.
double clampPrediction(double s) {
    const double m = predictionLimit < s ? predictionLimit : s;
    return m > -predictionLimit ? m : -predictionLimit;
}

// A code's magnitude, bounded to the class: a damaged stream never reads past the levels.
std::uint32_t magnitudeOf(std::int32_t code, std::uint32_t count) {
    const std::int64_t a = std::llabs(static_cast<std::int64_t>(code));
    return static_cast<std::uint32_t>(std::min<std::int64_t>(a, count - 1));
}

}  // namespace

DoubleGeneration::DoubleGeneration(int version) : version_(version) {}

void DoubleGeneration::loadReset(const ResetPacket& reset, const StreamParameters& parameters) {
    for (int c = 0; c < 2; ++c) {
        const ChannelRecord& record = reset.records[static_cast<std::size_t>(c)];
        MainRing& ring = mains_[static_cast<std::size_t>(c)];
        ring.clear(16);
        for (std::size_t k = 0; k < 16; ++k) ring.samples[k] = static_cast<double>(record.history[k] - 128) / 128.0;
        rate_.loadChannel(c, record.power, record.qualityScale);
    }
    third_.clear(6);  // six zero samples, not none
    rate_.codecVersion = parameters.version > 0 ? parameters.version : version_;
    rate_.configure(reset.bitRate);
    loaded_ = true;
}

float DoubleGeneration::decodeMain(int c, const std::vector<std::int32_t>& codes, std::size_t n, float* out) {
    RateChannel<double>& ch = rate_.channels[static_cast<std::size_t>(c)];
    MainRing& ring = mains_[static_cast<std::size_t>(c)];
    std::vector<double>& steps = steps_[static_cast<std::size_t>(c)];
    const DoubleLevelClass& levels = doubleLevelClasses()[static_cast<std::size_t>(std::clamp(ch.levelClass, 0, 7))];
    float energy = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        const std::array<double, 16> coef = mainPredictorCoefficients(ring);
        double s = 0.0;
        for (std::uint32_t k = 1; k <= 15; ++k) s = s + coef[k] * ring.back(k);
        const double p = clampPrediction(s);
        const double d = std::sqrt(ch.power) * ch.stepFactor;
        const double step = d > ch.minStep ? d : ch.minStep;
        steps[i] = step;
        const std::int32_t code = i < codes.size() ? codes[i] : 0;
        const std::uint32_t j = magnitudeOf(code, levels.count());
        double level = static_cast<double>(j);
        if (j > levels.linearLimit) {
            level = levels.levels[j];
            // The third channel's step counts the level's spacing, its lower level in float.
            steps[i] = (levels.levels[j] - static_cast<double>(static_cast<float>(levels.levels[j - 1]))) * step;
        }
        const double r = (code < 0 ? -level : level) * step;
        const double y = p + r;
        ch.power = (0.1 * r) * r + ch.power * 0.9;
        ring.push(y);
        energy = static_cast<float>(static_cast<double>(energy) + y * y);
        out[i] = static_cast<float>(y);
    }
    return energy;
}

void DoubleGeneration::decodeThird(const std::vector<std::int32_t>& codes, std::size_t n, float* out) {
    const DoubleLevelClass& levels = doubleLevelClasses()[0];
    for (std::size_t i = 0; i < n; ++i) {
        const std::array<double, 6> a = thirdPredictorCoefficients(third_);
        double s = 0.0;
        for (std::uint32_t k = 1; k <= 5; ++k) s = s + a[k] * third_.back(k);
        const double larger = std::max(steps_[0][i], steps_[1][i]);
        const double step = std::max(larger / thirdStepDivisor, thirdStepFloor);
        const double p = clampPrediction(s);
        const std::int32_t code = i < codes.size() ? codes[i] : 0;
        const std::uint32_t j = magnitudeOf(code, levels.count());
        const double level = j > levels.linearLimit ? levels.levels[j] : static_cast<double>(j);
        const double r = (code < 0 ? -level : level) * step;
        const double y = p + r;
        third_.push(y);
        out[i] = static_cast<float>(y);
    }
}

void DoubleGeneration::decode(const DecodedFrame& frame, const std::array<float*, 3>& planes) {
    const std::size_t n = frame.planeLength;
    if (!loaded_) {
        // No reset packet yet: there is no state to rebuild from.
        for (float* plane : planes) std::fill(plane, plane + n, 0.0f);
        return;
    }
    for (auto& s : steps_) s.assign(n, 0.0);
    const float first = decodeMain(0, frame.codes[0], n, planes[0]);
    const float second = decodeMain(1, frame.codes[1], n, planes[1]);
    decodeThird(frame.codes[2], n, planes[2]);
    const auto count = static_cast<std::uint32_t>(2 * n);
    rate_.update(static_cast<std::uint64_t>(n) * 1000000u / 38400u, static_cast<std::int32_t>(frame.rateBytes()),
                 count, first + second, count);
}

std::unique_ptr<GenerationDecoder> makeDoubleGeneration(int version) {
    return std::make_unique<DoubleGeneration>(version);
}

}  // namespace streamdecoder
