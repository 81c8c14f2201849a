#include "codec/Codec.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using kestrava::codec::Codec;
using kestrava::codec::PreFilter;
using kestrava::codec::Quantizer;
using kestrava::codec::levelClassCount;
using kestrava::codec::taperBank;
using kestrava::codec::taperColumns;
using kestrava::codec::taperRows;

using namespace codec_test;

namespace {

template <class Predictor>
void expectFreshPredictor(const Predictor& p) {
    EXPECT_EQ(p.predictionLimit, 1.5);
    EXPECT_EQ(p.historyScale, 128);
    for (auto v : p.analysisFrame) ASSERT_EQ(v, 0);
    for (const auto& row : p.coefTable) {
        for (auto v : row) ASSERT_EQ(v, 0);
    }
    for (int r = 0; r < taperRows; ++r) {
        for (int c = 0; c < taperColumns; ++c) {
            ASSERT_EQ(p.taperTable[r][c], static_cast<decltype(p.taperTable[0][0] + 0)>(taperBank[r][c]));
        }
    }
}

void expectFreshPreFilter(const PreFilter& f) {
    EXPECT_EQ(f.smoothed, 0.0f);
    EXPECT_EQ(f.highLevel, 0.0f);
    EXPECT_EQ(f.bandLevel, 0.0f);
    EXPECT_EQ(f.highPassLastInput, 0.0);
    EXPECT_EQ(f.highPassLastOutput, 0.0);
    EXPECT_EQ(f.ringPos, 0);
}

template <class CodecType>
void expectFreshCodec(const CodecType& codec, KestravaInstanceConfig* config) {
    EXPECT_EQ(codec.config, config);
    expectFreshPredictor(codec.predictors[0]);
    expectFreshPredictor(codec.predictors[1]);
    expectFreshPredictor(codec.thirdPredictor);
    ASSERT_TRUE(codec.quantizers[0]);
    ASSERT_TRUE(codec.quantizers[1]);
    EXPECT_NE(codec.quantizers[0], codec.quantizers[1]);
    using Q = typename CodecType::QuantizerType;
    for (const Q* q : {static_cast<const Q*>(codec.quantizers[0].get()), static_cast<const Q*>(codec.quantizers[1].get()),
                       &codec.thirdQuantizer}) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(q) % 64, 0u);
        EXPECT_EQ(q->minStepFactor, 100000.0);
        EXPECT_EQ(q->minStep, 0x1p-15);
        for (int k = 0; k < levelClassCount; ++k) {
            EXPECT_EQ(0, std::memcmp(q->levelClasses[k].levels, codec.thirdQuantizer.levelClasses[k].levels,
                                     q->levelClasses[k].levelCount * sizeof q->levelClasses[k].levels[0]));
        }
    }
    expectFreshPreFilter(codec.preFilters[0]);
    expectFreshPreFilter(codec.preFilters[1]);
}

// Fails the allocations whose turn (0, 1, ...) is set in `failures`.
unsigned failures = 0;
unsigned turn = 0;
template <class CodecType>
void* failingAllocate(std::size_t size) {
    return (failures >> turn++) & 1u ? nullptr : CodecType::defaultAllocate(size);
}

}  // namespace

TEST(Codec, BothGenerationsStartFromTheStatedState) {
    auto config = reinterpret_cast<KestravaInstanceConfig*>(std::uintptr_t{0x1000});  // stored, never read
    auto doubleCodec = std::make_unique<Codec<double, 0>>(config);
    expectFreshCodec(*doubleCodec, config);
    auto floatCodec = std::make_unique<Codec<float, 4>>(config);
    expectFreshCodec(*floatCodec, config);
}

TEST(Codec, FailedQuantizerAllocationLeavesOnlyThatHandleEmpty) {
    using DoubleCodec = Codec<double, 0>;
    const struct {
        unsigned failing;
        bool hasA, hasB;
        int messages;
    } cases[] = {{0b00, true, true, 0}, {0b01, false, true, 1}, {0b10, true, false, 1}, {0b11, false, false, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        failures = c.failing;
        turn = 0;
        testing::internal::CaptureStderr();
        auto codec = std::make_unique<DoubleCodec>(nullptr, failingAllocate<DoubleCodec>);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(static_cast<bool>(codec->quantizers[0]), c.hasA);
        EXPECT_EQ(static_cast<bool>(codec->quantizers[1]), c.hasB);
        const std::string message =
            "Memory allocation of size " + std::to_string(sizeof(Quantizer<double, 1>)) + " failed.\n";
        std::string expected;
        for (int i = 0; i < c.messages; ++i) expected += message;
        EXPECT_EQ(err, expected);
    }
}

TEST(Codec, QuantizersOutliveTheCodecWhileShared) {
    std::shared_ptr<Quantizer<float, 1>> kept;
    {
        auto codec = std::make_unique<Codec<float, 4>>(nullptr);
        kept = codec->quantizers[1];
    }
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->levelClasses[7].levelCount, 4096u);
}
