// Whole encoders of every codec version: the reconstruction follows a sine and white noise with an SNR
// that rises with the bit rate, both builds give the same codes, and destruction never hangs.
#include "codec/CodecSession.h"
#include "codec/RateController.h"
#include "logging/KestravaInstanceConfig.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include "logging/LogSink.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using kestrava::codec::CodecSession;
using kestrava::codec::Encoder;
using kestrava::codec::EncoderKernels;
using kestrava::codec::RateControllerFloat;
using kestrava::codec::avx2EncoderKernels;
using kestrava::codec::genericEncoderKernels;

using namespace codec_test;

namespace {

constexpr std::uint32_t stride = 8192;
constexpr std::uint32_t blockLength = 408;

enum class Signal { Sine, Noise };

struct Planes {
    std::vector<float> samples = std::vector<float>(3 * stride);
    std::vector<std::int32_t> codes = std::vector<std::int32_t>(3 * stride);
    std::vector<float> reconstruction = std::vector<float>(3 * stride);
};

void fill(Planes& p, Signal signal, std::uint32_t block, std::mt19937& random) {
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    for (std::uint32_t i = 0; i < blockLength; ++i) {
        const double t = static_cast<double>(block * blockLength + i) / 38400.0;
        for (int c = 0; c < 3; ++c) {
            const float amplitude = c == 2 ? 0.05f : 0.5f;
            p.samples[c * stride + i] = signal == Signal::Sine
                                            ? amplitude * static_cast<float>(std::sin(2.0 * M_PI * 1000.0 * t + c))
                                            : amplitude / 0.5f * noise(random);
        }
    }
}

// SNR in dB of the first main channel (against its pre-filtered input) over the blocks after a warm-up.
double snr(KestravaInstanceConfig& config, int version, std::uint32_t rate, bool plus, Signal signal) {
    CodecSession session(&config, {version, rate, plus, false, 1, 0});
    EXPECT_TRUE(session.ok());
    Planes p;
    std::mt19937 random(seed);
    double power = 0.0, error = 0.0;
    for (std::uint32_t block = 0; block < 36; ++block) {
        fill(p, signal, block, random);
        const CodecSession::Block b = session.code(p.samples.data(), p.codes.data(), blockLength, p.reconstruction.data());
        session.rateUpdate(blockLength, CodecSession::estimatedFrameBytes(p.codes.data(), blockLength, b.thirdSilent != 0), b);
        if (block < 24) continue;
        for (std::uint32_t i = 0; i < blockLength; ++i) {
            const double x = p.samples[i];
            const double e = x - p.reconstruction[i];
            power += x * x;
            error += e * e;
        }
    }
    return 10.0 * std::log10(power / error);
}

TEST(Encoders, SnrRisesWithTheRate) {
    KestravaInstanceConfig config{192000, 2040};
    struct Case {
        int version;
        std::vector<std::pair<std::uint32_t, bool>> rates;  // rate, plus mode
    };
    const Case cases[] = {
        {0, {{320, false}, {400, false}}},
        {1, {{320, false}, {576, false}}},
        {2, {{320, false}, {576, false}}},
        {3, {{160, true}, {320, false}, {640, false}}},  // a sine meets the minimum step near 640
    };
    for (const Case& c : cases) {
        for (Signal signal : {Signal::Sine, Signal::Noise}) {
            double previous = -1e9;
            for (const auto& [rate, plus] : c.rates) {
                const double s = snr(config, c.version, rate, plus, signal);
                EXPECT_GT(s, previous + 1.0) << "version " << c.version << " rate " << rate << " signal "
                                             << static_cast<int>(signal) << ": " << s << " dB";
                EXPECT_GT(s, 5.0) << "version " << c.version << " rate " << rate;
                previous = s;
            }
        }
    }
}

// Both builds, block after block on the same input (with a NaN, huge values and silence mixed in):
// the same codes, reconstruction and channel state, bit for bit.
TEST(Encoders, BothBuildsGiveTheSameCodes) {
    const EncoderKernels* avx2 = avx2EncoderKernels();
    if (avx2 == nullptr) GTEST_SKIP() << "no AVX2 on this processor; the generic build runs alone";
    KestravaInstanceConfig config{192000, 2040};
    for (int version = 0; version <= 3; ++version) {
        SCOPED_TRACE(version);
        const CodecSession::Settings settings{version, version == 3 ? 480u : 384u, false, false, 1, 0};
        CodecSession generic(&config, settings, genericEncoderKernels());
        CodecSession fast(&config, settings, *avx2);
        Planes a, b;
        std::mt19937 random(seed + static_cast<std::uint32_t>(version));
        for (std::uint32_t block = 0; block < 12; ++block) {
            fill(a, block % 2 ? Signal::Noise : Signal::Sine, block, random);
            if (block == 5) a.samples[17] = std::nanf("");
            if (block == 6) a.samples[stride + 3] = 1.0e20f;
            if (block == 7) std::fill(a.samples.begin(), a.samples.end(), 0.0f);
            b.samples = a.samples;
            const auto ba = generic.code(a.samples.data(), a.codes.data(), blockLength, a.reconstruction.data());
            const auto bb = fast.code(b.samples.data(), b.codes.data(), blockLength, b.reconstruction.data());
            ASSERT_EQ(a.codes, b.codes) << "block " << block;
            ASSERT_EQ(0, std::memcmp(a.reconstruction.data(), b.reconstruction.data(), a.reconstruction.size() * 4));
            ASSERT_EQ(bits(ba.energy), bits(bb.energy));
            const std::int32_t bytes = CodecSession::estimatedFrameBytes(a.codes.data(), blockLength, ba.thirdSilent != 0);
            generic.rateUpdate(blockLength, bytes, ba);
            fast.rateUpdate(blockLength, bytes, bb);
        }
        auto sameState = [](const auto& x, const auto& y) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(0, std::memcmp(&x.rateStates[c], &y.rateStates[c], sizeof x.rateStates[c]));
                EXPECT_EQ(0, std::memcmp(x.histories[c].samples, y.histories[c].samples, sizeof x.histories[c].samples));
            }
        };
        if (version == 0) sameState(generic.legacyEncoder->state, fast.legacyEncoder->state);
        if (version == 1 || version == 2) sameState(generic.doubleEncoder->state, fast.doubleEncoder->state);
        if (version == 3) sameState(generic.floatEncoder->state, fast.floatEncoder->state);
    }
}

template <class T>
class EncoderLife : public ::testing::Test {};
using EncoderTypes = ::testing::Types<Encoder<double, 0>, Encoder<float, 4>>;
TYPED_TEST_SUITE(EncoderLife, EncoderTypes);

TYPED_TEST(EncoderLife, StartsZeroAndCodesAnEmptyBlock) {
    KestravaInstanceConfig config{192000, 2040};
    std::unique_ptr<TypeParam> encoder(new TypeParam(&config));
    ASSERT_TRUE(encoder->ready());
    EXPECT_EQ(encoder->blockLength, 0u);
    EXPECT_EQ(encoder->state.maximumRate, -1);
    EXPECT_EQ(encoder->state.codecVersion, -1);
    EXPECT_EQ(encoder->state.minStepMultiplier, 1);
    Planes p;
    float energy = -1.0f;
    std::uint32_t count = 7;
    EXPECT_EQ(encoder->encodeBlock(p.samples.data(), p.codes.data(), 0, &energy, &count), 1u);
    EXPECT_EQ(energy, 0.0f);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(encoder->state.histories[0].fillCount, 0u);
    EXPECT_EQ(encoder->state.histories[1].fillCount, 0u);
    // A block beyond the buffers is refused without touching anything.
    EXPECT_EQ(encoder->encodeBlock(p.samples.data(), p.codes.data(), TypeParam::maxBlockLength + 1, &energy, &count), 1u);
    EXPECT_EQ(count, 0u);
}

TYPED_TEST(EncoderLife, DestroyingIdleOrCodingNeverHangs) {
    KestravaInstanceConfig config{192000, 2040};
    { std::unique_ptr<TypeParam> idle(new TypeParam(&config)); }
    // A full block posted to the worker, then destroyed at once: the worker finishes it and ends.
    std::unique_ptr<TypeParam> busy(new TypeParam(&config));
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    for (float& x : busy->workerInput) x = noise(random);
    while (!busy->workSemaphore.isWaiting()) std::this_thread::yield();
    busy->blockLength = TypeParam::maxBlockLength;
    busy->workSemaphore.release(1);
    while (busy->workSemaphore.available() > 0) std::this_thread::yield();  // the worker took the block
    busy.reset();
    // Blocks coded one after another, then destroyed between blocks.
    std::unique_ptr<TypeParam> used(new TypeParam(&config));
    Planes p;
    for (std::uint32_t block = 0; block < 3; ++block) {
        fill(p, Signal::Noise, block, random);
        float energy = 0.0f;
        std::uint32_t count = 0;
        used->encodeBlock(p.samples.data(), p.codes.data(), blockLength, &energy, &count);
        EXPECT_EQ(count, 2 * blockLength);
        EXPECT_GT(energy, 0.0f);
    }
}

}  // namespace

namespace {

// Mono mode: both main channels carry their average, so two channels built alike code alike.
TEST(EncoderFloat, MonoModeCodesTheAverageInBothMainChannels) {
    KestravaInstanceConfig config{192000, 2040};
    std::unique_ptr<Encoder<float, 4>> encoder(new Encoder<float, 4>(&config));
    RateControllerFloat::configure(*encoder, 160, false, false, 1, 160, true, encoder->state);
    Planes p;
    std::mt19937 random(seed);
    fill(p, Signal::Noise, 0, random);
    const float expected = 0.5f * (p.samples[5] + p.samples[stride + 5]);
    float energy = 0.0f;
    std::uint32_t count = 0;
    encoder->encodeBlock(p.samples.data(), p.codes.data(), blockLength, &energy, &count);
    EXPECT_EQ(p.samples[stride + 5], expected);
    EXPECT_TRUE(std::equal(p.codes.begin(), p.codes.begin() + blockLength, p.codes.begin() + stride));
    EXPECT_EQ(encoder->state.targetRate, 160);  // mono halves the minimum rate
}

}  // namespace

namespace {

class CapturedLog : public KestravaLogger::LogSink {
public:
    void writeLine(const char*, std::size_t) override {}
    void writeRecord(const KestravaLogger::LogRecord& record) override {
        std::lock_guard lock(mutex);
        texts.emplace_back(std::to_string(record.level) + " " + record.text);
        changed.notify_all();
    }
    bool wantsLine() const override { return false; }
    void flush() override {}

    // The texts once one equals `last`, or what came within 10 s.
    std::vector<std::string> waitFor(const std::string& last) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10),
                         [&] { return std::find(texts.begin(), texts.end(), last) != texts.end(); });
        return texts;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> texts;
};

// The worker's trace lines: it writes its start, and a worker woken by the stop while idle ends
// without the closing line (which only follows a block it was coding). A marker logged after the
// join closes the record.
TEST(EncoderWorker, IdleWorkerLogsItsStartOnly) {
    KestravaInstanceConfig config{192000, 2040};
    auto log = std::make_shared<CapturedLog>();
    config.logger.addSink(log);
    config.logger.enable();
    std::unique_ptr<Encoder<float, 4>> encoder(new Encoder<float, 4>(&config));
    while (!encoder->workSemaphore.isWaiting()) std::this_thread::yield();  // idle, not just started
    encoder.reset();
    config.logger.log(1, KestravaLogger::Trace, "marker");
    const std::vector<std::string> expected = {"1 Starting encoder worker thread\n", "1 marker\n"};
    EXPECT_EQ(log->waitFor("1 marker\n"), expected);
    config.logger.stop();
}

}  // namespace
