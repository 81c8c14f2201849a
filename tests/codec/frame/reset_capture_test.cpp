#include "codec/Encoder.h"
#include "codec/LegacyEncoder.h"
#include "codec/frame/ResetCapture.h"
#include "logging/KestravaInstanceConfig.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>

namespace ResetCapture = kestrava::codec::frame::ResetCapture;

using kestrava::codec::ChannelHistory;
using kestrava::codec::Encoder;
using kestrava::codec::LegacyEncoder;

namespace {

struct SampleCase {
    double sample;
    std::uint8_t byte;
    double reloaded;
};

// Rounded-to-nearest history bytes of both predictive generations.
const SampleCase roundedCases[] = {
    {0.0, 128, 0.0},        {0.5, 192, 0.5},           {-0.5, 64, -0.5},         {-1.0, 0, -1.0},
    {1.0, 255, 127.0 / 128}, {1.0 / 256, 129, 1.0 / 128}, {-1.0 / 256, 128, 0.0},   {1.5, 255, 127.0 / 128},
    {-3.0, 0, -1.0},
};

template <class E>
struct Generation {
    KestravaInstanceConfig config{192000, 2040};
    std::unique_ptr<E> encoder{new E(&config)};
};

// Places the samples so that the last of them was the most recent reconstruction.
template <class T>
void setRecent(ChannelHistory<T>& h, std::uint32_t ring, const std::vector<double>& samples, std::uint32_t w) {
    for (std::size_t k = 0; k < samples.size(); ++k) {
        h.samples[(w + ring - samples.size() + k) % ring] = static_cast<T>(samples[k]);
    }
    h.writePos = w;
    h.fillCount = 5000;
}

TEST(ResetCaptureDouble, HistoryBytesAndReload) {
    Generation<Encoder<double, 0>> g;
    std::vector<double> samples;
    for (const auto& c : roundedCases) samples.push_back(c.sample);
    while (samples.size() < 16) samples.push_back(0.0);
    auto& state = g.encoder->state;
    for (int c = 0; c < 2; ++c) setRecent(state.histories[c], 128, samples, 5);  // wraps at 128
    state.reservoir = 12345;
    state.histories[2].samples[10] = 0.7;
    std::array<std::uint8_t, 36> records{};
    ResetCapture::capture(*g.encoder, records.data());
    for (int c = 0; c < 2; ++c) {
        const auto& h = state.histories[c];
        for (std::size_t k = 0; k < std::size(roundedCases); ++k) {
            SCOPED_TRACE(roundedCases[k].sample);
            EXPECT_EQ(records[c * 18 + k], roundedCases[k].byte);
            EXPECT_EQ(h.samples[k], roundedCases[k].reloaded);
        }
        EXPECT_EQ(h.writePos, 16u);
        EXPECT_EQ(h.fillCount, 16u);
        EXPECT_EQ(h.samples[16], 0.0);
        EXPECT_EQ(h.samples[127], 0.0);
    }
    EXPECT_EQ(state.histories[2].writePos, 6u);
    EXPECT_EQ(state.histories[2].fillCount, 6u);
    EXPECT_EQ(state.histories[2].samples[10], 0.0);
    EXPECT_EQ(state.reservoir, 0);
}

struct LevelCase {
    double power;
    std::uint8_t rR;
    double stepFactor;
    std::uint8_t qS;
};

// Power and quality scale factor bytes of the predictive generations (equal factors on both channels).
const LevelCase levelCases[] = {
    {0.25, 127, 0.5, 127},
    {1.0, 255, 2.0, 255},
    {4.0, 255, 3.0, 255},
    {0.0, 0, 1.0, 180},
    {0.0, 0, 0x1p-15, 0},
};

template <class E>
void checkLevels() {
    using T = std::remove_reference_t<decltype(E::state.rateStates[0].power)>;
    for (const auto& c : levelCases) {
        SCOPED_TRACE(c.power);
        SCOPED_TRACE(c.stepFactor);
        Generation<E> g;
        for (int ch = 0; ch < 2; ++ch) {
            g.encoder->state.rateStates[ch].power = static_cast<T>(c.power);
            g.encoder->state.rateStates[ch].stepFactor = static_cast<T>(c.stepFactor);
        }
        std::array<std::uint8_t, 36> records{};
        ResetCapture::capture(*g.encoder, records.data());
        for (int ch = 0; ch < 2; ++ch) {
            EXPECT_EQ(records[ch * 18 + 16], c.rR);
            EXPECT_EQ(records[ch * 18 + 17], c.qS);
            const T r = static_cast<T>(c.rR) / T(255);
            const T q = static_cast<T>(c.qS) / T(255);
            EXPECT_EQ(g.encoder->state.rateStates[ch].power, r * r);
            EXPECT_EQ(g.encoder->state.rateStates[ch].stepFactor, T(2) * (q * q));
        }
        // Rounding is exact on reload: a second capture writes the same bytes.
        std::array<std::uint8_t, 36> again{};
        ResetCapture::capture(*g.encoder, again.data());
        EXPECT_EQ(records, again);
    }
}

TEST(ResetCaptureDouble, PowerAndQualityBytes) { checkLevels<Encoder<double, 0>>(); }
TEST(ResetCaptureFloat, PowerAndQualityBytes) { checkLevels<Encoder<float, 4>>(); }

TEST(ResetCapture, UnequalQualityFactorsMeet) {
    struct Case {
        double a, b, expected;
    };
    for (const Case c : {Case{0.4, 1.0, 0.8}, Case{0.6, 1.0, 1.0}, Case{0.0, 0.5, 0.0}}) {
        Generation<Encoder<double, 0>> g;
        g.encoder->state.rateStates[0].stepFactor = c.a;
        g.encoder->state.rateStates[1].stepFactor = c.b;
        std::array<std::uint8_t, 36> records{};
        ResetCapture::capture(*g.encoder, records.data());
        const auto q = static_cast<std::uint8_t>(std::sqrt(c.expected * 0.5) * 255.0);
        EXPECT_EQ(records[17], q) << c.a << " " << c.b;
        EXPECT_EQ(records[35], q) << c.a << " " << c.b;
    }
}

TEST(ResetCaptureDouble, FirstCaptureAfterConstruction) {
    Generation<Encoder<double, 0>> g;
    std::array<std::uint8_t, 36> records{};
    ResetCapture::capture(*g.encoder, records.data());
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < 16; ++k) EXPECT_EQ(records[c * 18 + k], 128) << k;
        EXPECT_EQ(records[c * 18 + 16], 0);
        EXPECT_EQ(records[c * 18 + 17], 0);
    }
}

TEST(ResetCaptureFloat, TwelveSamplesAndPredictions) {
    Generation<Encoder<float, 4>> g;
    auto& state = g.encoder->state;
    std::vector<double> samples(12, 0.0);
    samples[10] = 0.5;
    samples[11] = -0.25;
    samples[0] = -1.0;
    for (int c = 0; c < 2; ++c) {
        setRecent(state.histories[c], 320, samples, 3);
        state.histories[c].sumsStale = true;
        state.histories[c].middleSums[4] = 9.0;
    }
    std::array<std::uint8_t, 36> records;
    records.fill(0xAA);
    ResetCapture::capture(*g.encoder, records.data());
    for (int c = 0; c < 2; ++c) {
        const auto& h = state.histories[c];
        EXPECT_EQ(records[c * 18 + 0], 0);
        EXPECT_EQ(records[c * 18 + 1], 128);
        EXPECT_EQ(records[c * 18 + 10], 192);
        EXPECT_EQ(records[c * 18 + 11], 96);
        for (int k = 12; k < 16; ++k) EXPECT_EQ(records[c * 18 + k], 0);
        EXPECT_EQ(h.writePos, 12u);
        EXPECT_EQ(h.fillCount, 12u);
        EXPECT_EQ(h.lastPrediction, -0.25f);
        EXPECT_EQ(h.priorPrediction, 0.5f);
        EXPECT_FALSE(h.sumsStale);
        EXPECT_EQ(h.middleSums[4], 0.0);
    }
    EXPECT_EQ(state.histories[2].writePos, 4u);
    EXPECT_EQ(state.histories[2].fillCount, 4u);
}

TEST(ResetCaptureLegacy, TruncatedBytesAndReload) {
    Generation<LegacyEncoder> g;
    auto& state = g.encoder->state;
    // Ring of 16 oldest-first from writePos: put the cases at slots w.. in age order.
    const double samples[] = {1.0, 2.0, -1.0, -0.9999, 0.0, 0.5};
    const std::uint8_t bytes[] = {255, 255, 0, 0, 128, 192};
    const std::uint32_t w = 9;
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < 16; ++k) state.histories[c].samples[k] = 0.0;
        for (std::size_t k = 0; k < std::size(samples); ++k) state.histories[c].samples[(w + k) % 16] = samples[k];
        state.histories[c].writePos = w;
    }
    state.rateStates[0].power = 0.06;
    state.rateStates[0].stepFactor = 100.0;
    state.rateStates[1].power = 0.0;
    state.rateStates[1].stepFactor = 0.0;
    state.reservoir = -99;
    std::array<std::uint8_t, 36> records{};
    ResetCapture::capture(*g.encoder, records.data());
    for (int c = 0; c < 2; ++c) {
        for (std::size_t k = 0; k < std::size(samples); ++k) {
            EXPECT_EQ(records[c * 18 + k], bytes[k]) << k;
            EXPECT_EQ(state.histories[c].samples[k], (bytes[k] - 128) / 128.0);
        }
        EXPECT_EQ(state.histories[c].writePos, 0u);
    }
    EXPECT_EQ(records[16], 255);
    EXPECT_EQ(records[17], 255);
    EXPECT_DOUBLE_EQ(state.rateStates[0].power, 0.05);
    EXPECT_EQ(state.rateStates[0].stepFactor, 64.0);
    EXPECT_EQ(records[34], 0);
    EXPECT_EQ(records[35], 0);
    EXPECT_EQ(state.rateStates[1].stepFactor, 0.0);
    EXPECT_EQ(state.reservoir, 0);
}

TEST(ResetCaptureLegacy, SecondCaptureMayDropOneStep) {
    // rR 33 reloads just below its byte's value; 100, 128 and 255 come back unchanged.
    struct Case {
        std::uint8_t first, second;
    };
    for (const Case c : {Case{33, 32}, Case{100, 100}, Case{128, 128}, Case{255, 255}}) {
        Generation<LegacyEncoder> g;
        g.encoder->state.rateStates[0].power = (c.first + 0.5) / 255.0 / 20.0;
        std::array<std::uint8_t, 36> records{};
        ResetCapture::capture(*g.encoder, records.data());
        ASSERT_EQ(records[16], c.first);
        ResetCapture::capture(*g.encoder, records.data());
        EXPECT_EQ(records[16], c.second) << int(c.first);
    }
}

}  // namespace
