#include "FloatGeneration.h"

#include "FloatLevels.h"
#include "GradualUnderflow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace streamdecoder {

namespace {

constexpr float fallbackThreshold = 3.0f;
constexpr float predictionLimit = 1.5f;
constexpr float thirdStepDivisor = 1.4142f;  // not the square root of 2
constexpr float thirdMinStep = 0.02f;

// A code's magnitude as an index into its class; one beyond the class (only a damaged stream
// carries it) takes the top level, as the encoder's saturation would have.
std::uint32_t indexOf(std::int32_t code, const FloatLevelClass& levels) {
    const std::uint64_t magnitude = code < 0 ? std::uint64_t{0} - static_cast<std::int64_t>(code)
                                             : static_cast<std::uint64_t>(code);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(magnitude, levels.count - 1));
}

// The level of a code in units of the step: the code itself in the linear part.
float levelOf(std::int32_t code, std::uint32_t index, const FloatLevelClass& levels) {
    if (index <= levels.linearLimit) return code < 0 ? -static_cast<float>(index) : static_cast<float>(index);
    const float level = levels.levels[index];
    return code < 0 ? -level : level;
}

}  // namespace

float boundedPrediction(float p, float last, float prior) {
    if (std::fabs(p) > fallbackThreshold) {
        const float g = (last - prior) + last;
        if (last * g < 0.0f) {
            p = 0.0f;
        } else if (std::fabs(g) > std::fabs(last)) {
            p = last;
        } else {
            p = g;
        }
    }
    return std::max(std::min(p, predictionLimit), -predictionLimit);
}

std::array<float, 12> reloadedHistory(const ChannelRecord& record) {
    std::array<float, 12> history;
    for (std::size_t k = 0; k < history.size(); ++k) {
        history[k] = static_cast<float>(static_cast<int>(record.history[k]) - 128) / 128.0f;
    }
    return history;
}

std::int32_t expandedNoiseLevel(std::uint8_t byte) {
    // The compression halves what lies above 32, then above 64, ... up to 8192, the largest
    // threshold first; undoing it doubles in the opposite order.
    std::int32_t v = byte;
    for (std::int32_t t = 32; t <= 8192; t *= 2) {
        if (v > t) v = t + (v - t) * 2;
    }
    return v;
}

void FloatGeneration::loadReset(const ResetPacket& reset, const StreamParameters& parameters) {
    for (std::size_t c = 0; c < mains.size(); ++c) {
        MainChannel& channel = mains[c];
        const std::array<float, 12> history = reloadedHistory(reset.records[c]);
        FloatMainHistory& h = channel.history;
        h.samples.fill(0.0f);
        std::copy(history.begin(), history.end(), h.samples.begin());
        h.writePos = h.fillCount = 12;
        h.middleSums.fill(0.0);
        h.sumsStale = false;
        h.lastPrediction = h.samples[11];
        h.priorPrediction = h.samples[10];
        channel.predictor.clear();
        rate.loadChannel(static_cast<int>(c), reset.records[c].power, reset.records[c].qualityScale);
    }
    // The third channel restarts from four zero samples; its two last predictions run on.
    third.samples.fill(0.0f);
    third.writePos = third.fillCount = 4;
    thirdPredictor.clear();

    // Without a rate block the noise level and the maximum play no part: the set-up sees 1 and the
    // bit rate, as the encoder passes them outside variable-bit-rate mode.
    const bool vbr = reset.variableBitRate;
    rate.codecVersion = parameters.version;
    rate.configure(reset.bitRate, reset.plusMode, vbr, vbr ? expandedNoiseLevel(reset.noiseLevel) : 1,
                   vbr ? reset.maxBitRate : reset.bitRate, false);
    loaded = true;
}

float FloatGeneration::decodeMain(int c, const std::int32_t* codes, std::size_t n, float* out) {
    RateChannel<float>& state = rate.channels[static_cast<std::size_t>(c)];
    const FloatLevelClass& levels = floatLevelClasses()[static_cast<std::size_t>(state.levelClass & 7)];
    MainChannel& channel = mains[static_cast<std::size_t>(c)];
    FloatMainHistory& h = channel.history;
    float* stepsOut = steps[static_cast<std::size_t>(c)].data();
    constexpr std::uint32_t ring = FloatMainHistory::ringLength;
    float energy = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        channel.predictor.update(h);
        const auto& a = channel.predictor.coefficients();
        const std::uint32_t w = h.writePos;
        float p = 0.0f;
        for (std::uint32_t k = 1; k <= FloatMainPredictor::order; ++k) p = p + a[k] * h.samples[(w + ring - k) % ring];
        p = boundedPrediction(p, h.lastPrediction, h.priorPrediction);
        h.priorPrediction = h.lastPrediction;
        h.lastPrediction = p;

        float s = std::sqrt(state.power) * state.stepFactor;
        if (!(s > state.minStep)) s = state.minStep;
        stepsOut[i] = s;
        const std::uint32_t index = indexOf(codes[i], levels);
        const float v = levelOf(codes[i], index, levels);
        if (index > levels.linearLimit) stepsOut[i] = (levels.levels[index] - levels.levels[index - 1]) * s;
        const float e = v * s;
        const float r = p + e;
        state.power = (0.03f * e) * e + state.power * 0.97f;

        h.samples[w] = r;
        energy = energy + r * r;
        h.writePos = w >= ring - 1 ? 0 : w + 1;
        h.fillCount = h.fillCount + 1;
        out[i] = r;
    }
    return energy;
}

void FloatGeneration::decodeThird(const std::int32_t* codes, std::size_t n, float* out) {
    const FloatLevelClass& levels = floatLevelClasses()[0];
    constexpr std::uint32_t ring = FloatThirdHistory::ringLength;
    for (std::size_t i = 0; i < n; ++i) {
        thirdPredictor.update(third);
        const auto& a = thirdPredictor.coefficients();
        const std::uint32_t w = third.writePos;
        float p = 0.0f;
        for (std::uint32_t k = 1; k <= 3; ++k) p = p + a[k] * third.samples[(w + ring - k) % ring];
        p = boundedPrediction(p, third.lastPrediction, third.priorPrediction);
        third.priorPrediction = third.lastPrediction;
        third.lastPrediction = p;

        const float s = std::max(std::max(steps[0][i], steps[1][i]) / thirdStepDivisor, thirdMinStep);
        const std::uint32_t index = indexOf(codes[i], levels);
        const float r = levelOf(codes[i], index, levels) * s;
        third.samples[w] = p + r;
        third.writePos = (w + 1) % ring;
        third.fillCount = third.fillCount + 1;
        out[i] = p + r;
    }
}

void FloatGeneration::decode(const DecodedFrame& frame, const std::array<float*, 3>& planes) {
    const std::size_t n = frame.planeLength;
    const bool complete = std::all_of(frame.codes.begin(), frame.codes.end(),
                                      [n](const std::vector<std::int32_t>& codes) { return codes.size() >= n; });
    if (!loaded || !complete) {
        // Nothing to rebuild from, or a frame the reader could not have produced: skipped, with
        // the state left as it was.
        for (float* plane : planes) std::fill(plane, plane + n, 0.0f);
        return;
    }
    for (auto& s : steps) s.resize(std::max(s.size(), n));
    const GradualUnderflow underflow;
    const float energyA = decodeMain(0, frame.codes[0].data(), n, planes[0]);
    const float energyB = decodeMain(1, frame.codes[1].data(), n, planes[1]);
    decodeThird(frame.codes[2].data(), n, planes[2]);
    // A block of no samples is never sent, so it moves nothing.
    if (n == 0) return;
    const std::uint64_t durationUs = std::uint64_t{n} * 1000000u / 38400u;
    rate.update(durationUs, static_cast<std::int32_t>(frame.rateBytes()), static_cast<std::uint32_t>(2 * n),
                energyA + energyB, static_cast<std::uint32_t>(2 * n));
}

std::unique_ptr<GenerationDecoder> makeFloatGeneration() { return std::make_unique<FloatGeneration>(); }

}  // namespace streamdecoder
