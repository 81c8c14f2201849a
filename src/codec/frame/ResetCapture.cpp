#include "codec/frame/ResetCapture.h"

#include "codec/frame/ByteConversions.h"
#include "logging/KestravaInstanceConfig.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestrava::codec::frame {

using kestrava::codec::Encoder;
using kestrava::codec::EncoderState;
using kestrava::codec::LegacyEncoder;

namespace {

using frame_bytes::historyByte;
using frame_bytes::truncateUnsigned;

constexpr std::uint32_t recordSize = 18;

// Both main channels continue with one quality scale factor; differing ones are a fault of the
// coder, so it is made equal here and reported.
template <class T>
void equaliseStepFactors(KestravaInstanceConfig* config, EncoderState<T>& state) {
    const T a = state.rateStates[0].stepFactor;
    const T b = state.rateStates[1].stepFactor;
    if (a == b) return;
    T next = std::min(T(2) * std::min(a, b), std::max(a, b));
    if (std::isnan(next)) next = std::isnan(a) ? b : a;  // keep the one that is a number
    if (std::isnan(next)) next = T(0);
    config->logger.log(1, KestravaLogger::Critical, "Incorrect quality scale factors: {} {}, setting to {}",
                       static_cast<double>(a), static_cast<double>(b), static_cast<double>(next));
    state.rateStates[0].stepFactor = next;
    state.rateStates[1].stepFactor = next;
}

template <class T, int N>
void captureGeneric(Encoder<T, N>& encoder, std::uint8_t* records, std::uint32_t historyBytes) {
    using Predictor = typename Encoder<T, N>::MainPredictor;
    using Third = typename Encoder<T, N>::ThirdPredictor;
    auto& state = encoder.state;
    encoder.config->logger.log(1, KestravaLogger::Trace, "Encoder state reset");
    equaliseStepFactors(encoder.config, state);

    for (int c = 0; c < 2; ++c) {
        std::uint8_t* r = records + c * recordSize;
        auto& h = state.histories[c];
        auto& predictor = encoder.predictors[c];
        std::memset(r, 0, 16);
        const std::uint32_t ring = Predictor::ringLength;
        const std::uint32_t w = h.writePos % ring;
        for (std::uint32_t k = 0; k < historyBytes; ++k) {
            r[k] = historyByte(h.samples[(w + ring - historyBytes + k) % ring]);
        }
        std::fill(h.samples, h.samples + ring, T(0));
        std::memset(predictor.analysisFrame, 0, sizeof(predictor.analysisFrame));
        std::memset(predictor.coefTable, 0, sizeof(predictor.coefTable));
        const T scale = static_cast<T>(predictor.historyScale);
        for (std::uint32_t k = 0; k < historyBytes; ++k) {
            h.samples[k] = (static_cast<T>(r[k]) - scale) / scale;
        }
        h.writePos = historyBytes;
        h.fillCount = historyBytes;
        if constexpr (std::is_same_v<T, float>) {
            std::fill(std::begin(h.middleSums), std::end(h.middleSums), 0.0);
            h.sumsStale = false;
            h.lastPrediction = h.samples[historyBytes - 1];
            h.priorPrediction = h.samples[historyBytes - 2];
        }
        auto& rs = state.rateStates[c];
        const std::uint32_t rR = truncateUnsigned(std::sqrt(rs.power) * T(255), 255);
        r[16] = static_cast<std::uint8_t>(rR);
        rs.power = (static_cast<T>(rR) / T(255)) * (static_cast<T>(rR) / T(255));
        const std::uint32_t qS = truncateUnsigned(std::sqrt(rs.stepFactor * T(0.5)) * T(255), 255);
        r[17] = static_cast<std::uint8_t>(qS);
        rs.stepFactor = T(2) * ((static_cast<T>(qS) / T(255)) * (static_cast<T>(qS) / T(255)));
    }

    auto& third = state.histories[2];
    std::fill(third.samples, third.samples + Third::ringLength, T(0));
    third.writePos = std::is_same_v<T, float> ? 4 : 6;
    third.fillCount = third.writePos;
    std::memset(encoder.thirdPredictor.analysisFrame, 0, sizeof(encoder.thirdPredictor.analysisFrame));
    std::memset(encoder.thirdPredictor.coefTable, 0, sizeof(encoder.thirdPredictor.coefTable));
    state.reservoir = 0;
}

}  // namespace

namespace ResetCapture {

void capture(Encoder<double, 0>& encoder, std::uint8_t* records) { captureGeneric(encoder, records, 16); }

void capture(Encoder<float, 4>& encoder, std::uint8_t* records) { captureGeneric(encoder, records, 12); }

void capture(LegacyEncoder& encoder, std::uint8_t* records) {
    auto& logger = encoder.config->logger;
    auto& state = encoder.state;
    logger.log(1, KestravaLogger::Trace, "Encoder state reset");
    constexpr std::uint32_t ring = 16;
    for (int c = 0; c < 2; ++c) {
        std::uint8_t* r = records + c * recordSize;
        auto& h = state.histories[c];
        const std::uint32_t w = h.writePos % ring;
        for (std::uint32_t k = 0; k < ring; ++k) {
            double x = h.samples[(w + k) % ring];
            x = std::isnan(x) ? -1.0 : std::clamp(x, -1.0, 1.0);  // NaN as the lowest byte
            r[k] = static_cast<std::uint8_t>(truncateUnsigned(128.0 * x + 128.0, 255));
        }
        for (std::uint32_t k = 0; k < ring; ++k) h.samples[k] = (static_cast<double>(r[k]) - 128.0) / 128.0;
        h.writePos = 0;
        auto& rs = state.rateStates[c];
        const double p = rs.power;
        const double s = rs.stepFactor;
        const std::uint32_t rR = truncateUnsigned(std::min(1.0, 20.0 * p) * 255.0, 255);
        const std::uint32_t qS = truncateUnsigned(std::min(1.0, std::sqrt(s) * 0.125) * 255.0, 255);
        r[16] = static_cast<std::uint8_t>(rR);
        r[17] = static_cast<std::uint8_t>(qS);
        logger.log(1, KestravaLogger::Trace, "1 rR {}, qS {}", p, s);
        rs.power = static_cast<double>(rR) * (1.0 / 255.0) * 0.05;
        const double q = static_cast<double>(qS) * 8.0 * (1.0 / 255.0);
        rs.stepFactor = q * q;
        logger.log(1, KestravaLogger::Trace, "2 rR {}, qS {}", rs.power, rs.stepFactor);
    }
    auto& third = state.histories[2];
    std::fill(third.samples, third.samples + 6, 0.0);
    third.writePos = 0;
    state.reservoir = 0;
}

}  // namespace ResetCapture

}  // namespace kestrava::codec::frame
