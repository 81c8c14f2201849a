// The whole demodulator on synthetic composite signals whose parts are known exactly.
#include "DemodTestSupport.h"
#include "audio/demod/MPXD.h"
#include "platform/RealFft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

using kestrava::audio::demod::DemodKernels;
using kestrava::audio::demod::MPXD;
using kestrava::audio::demod::avx2DemodKernels;
using kestrava::audio::demod::demodKernels;
using kestrava::audio::demod::genericDemodKernels;

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;

// x = 0.45·a·(1 + sin 2θ) + 0.09·sin θ + 0.04·b·(sin 3θ or cos 3θ), θ the 19 kHz pilot phase,
// a a 1 kHz and b an 800 Hz tone: left = 0.9·a, right = 0, RDS = 0.02·b, no quadrature part.
struct Composite {
    Composite(std::uint32_t rate, bool rdsInQuadrature, double pilotHz = 19000.0)
        : rate(rate), rdsInQuadrature(rdsInQuadrature), pilotHz(pilotHz) {}

    double theta(std::uint64_t n) const { return twoPi * pilotHz * static_cast<double>(n) / rate + 0.3; }
    double a(std::uint64_t n) const { return std::sin(twoPi * 1000.0 * static_cast<double>(n) / rate); }
    double b(std::uint64_t n) const { return std::sin(twoPi * 800.0 * static_cast<double>(n) / rate); }
    float sample(std::uint64_t n) const {
        const double th = theta(n);
        const double rds = rdsInQuadrature ? std::cos(3.0 * th) : std::sin(3.0 * th);
        return static_cast<float>(0.45 * a(n) * (1.0 + std::sin(2.0 * th)) + 0.09 * std::sin(th) + 0.04 * b(n) * rds);
    }
    std::vector<float> samples(std::size_t count) const {
        std::vector<float> x(count);
        for (std::size_t n = 0; n < count; ++n) x[n] = sample(n);
        return x;
    }

    std::uint32_t rate;
    bool rdsInQuadrature;
    double pilotHz;
};

double cycleDistance(double a, double b) { return a - b - std::floor(a - b + 0.5); }

// A demodulator set up for a rate, fed like its owner feeds it.
struct Demodulation {
    explicit Demodulation(std::uint32_t rate, const DemodKernels& kernels = demodKernels())
        : logged(static_cast<int>(rate)), mpxd(std::make_unique<MPXD>(&logged.config, kernels)) {
        EXPECT_TRUE(mpxd->setSampleRate(rate));
        mpxd->reset();
    }

    // Appends the samples in 1024-sample chunks and takes every block of records there is.
    std::vector<Record> run(const std::vector<float>& composite) {
        std::vector<Record> records;
        std::vector<Record> block(MPXD::hop);
        for (std::size_t at = 0; at < composite.size(); at += 1024) {
            const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(1024, composite.size() - at));
            mpxd->inputBuffer().write(composite.data() + at, n);
            while (mpxd->inputBuffer().available() >= MPXD::frameLength) {
                const std::uint32_t got = mpxd->readOutput(block.data(), MPXD::hop);
                records.insert(records.end(), block.begin(), block.begin() + got);
            }
        }
        return records;
    }

    LoggedConfig logged;
    std::unique_ptr<MPXD> mpxd;
};

void expectDemodulated(const Composite& signal, const std::vector<Record>& records, const std::vector<float>& input,
                       std::size_t from) {
    ASSERT_GT(records.size(), from + 6000);
    for (std::size_t n = from; n < records.size(); ++n) {
        const Record& r = records[n];
        ASSERT_NEAR(r.left, 0.9 * signal.a(n), 1e-4) << "record " << n;
        ASSERT_NEAR(r.right, 0.0, 1e-4) << "record " << n;
        ASSERT_NEAR(r.rds, 0.02 * signal.b(n), 1e-4) << "record " << n;
        ASSERT_LT(std::abs(cycleDistance(r.pilot, signal.theta(n + 1) / twoPi)), 3e-4) << "record " << n;
        ASSERT_EQ(std::memcmp(&r.mpx, &input[n], sizeof(float)), 0) << "record " << n;
        if (n >= from + 1024) {
            ASSERT_NEAR(r.quad, 0.0, 1.5e-3) << "record " << n;
        }
    }
}

constexpr std::size_t frames10 = 10 * MPXD::hop + 1024;

}  // namespace

TEST(MPXD, SeparatesLeftRightPilotAndRdsAtBothRates) {
    for (const std::uint32_t rate : {192000u, 176400u}) {
        for (const bool quadrature : {false, true}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, RDS on " << (quadrature ? "cos" : "sin") << " 3θ");
            const Composite signal(rate, quadrature);
            const std::vector<float> input = signal.samples(frames10);
            Demodulation demod(rate);
            const std::vector<Record> records = demod.run(input);
            EXPECT_EQ(records.size(), 10u * MPXD::hop);
            expectDemodulated(signal, records, input, MPXD::hop);
            EXPECT_EQ(demod.mpxd->rdsQuadrature(), quadrature);
            EXPECT_NEAR(std::sqrt(2.0f * demod.mpxd->pilotMeanSquare()), 0.09f, 0.001f);
        }
    }
}

TEST(MPXD, FrameStepsTakeOneFrameOf4096AndAdvanceBy3072) {
    const struct {
        std::uint32_t waiting;
        std::uint32_t leftAfter[3];
    } cases[] = {{4095, {4095, 4095, 4095}}, {4096, {1024, 1024, 1024}}, {10000, {6928, 3856, 3856}}};
    for (const auto& c : cases) {
        Demodulation demod(192000);
        const std::vector<float> input = Composite(192000, false).samples(c.waiting);
        demod.mpxd->inputBuffer().write(input.data(), c.waiting);
        for (int call = 0; call < 3; ++call) {
            demod.mpxd->processFrames();
            const std::uint32_t steps = (c.waiting - c.leftAfter[call]) / MPXD::hop;
            SCOPED_TRACE(testing::Message() << c.waiting << " waiting, call " << call);
            EXPECT_EQ(demod.mpxd->inputBuffer().available(), c.leftAfter[call]);
            for (MPXD::Ring* ring :
                 {&demod.mpxd->leftReconstructionBuffer(), &demod.mpxd->rightReconstructionBuffer(),
                  &demod.mpxd->pilotOutputBuffer(), &demod.mpxd->rdsReconstructionBuffer(),
                  &demod.mpxd->quadReconstructionBuffer()}) {
                EXPECT_EQ(ring->available(), steps * MPXD::hop) << ring->getName();
            }
        }
        // The composite field holds the raw first 3072 samples of the latest frame.
        const std::uint32_t steps = (c.waiting - c.leftAfter[2]) / MPXD::hop;
        if (steps > 0) {
            const float* raw = demod.mpxd->mpxSamples();
            for (std::uint32_t i = 0; i < MPXD::hop; ++i) ASSERT_EQ(raw[i], input[(steps - 1) * MPXD::hop + i]) << i;
        } else {
            EXPECT_EQ(demod.mpxd->mpxSamples()[0], 1.0f);
            EXPECT_EQ(demod.mpxd->mpxSamples()[1], 0.0f);
        }
    }
}

TEST(MPXD, ReadOutputTakesAtMostTheMaximumAndAtMost3072) {
    Demodulation demod(192000);
    const std::vector<float> input = Composite(192000, false).samples(2 * MPXD::hop + 1024);
    demod.mpxd->inputBuffer().write(input.data(), static_cast<std::uint32_t>(input.size()));
    std::vector<Record> block(5000);
    EXPECT_EQ(demod.mpxd->readOutput(block.data(), 1000), 1000u);  // one frame step, 1000 taken
    EXPECT_EQ(demod.mpxd->readOutput(block.data(), 5000), 3072u);  // a second step: 5144 waiting
    EXPECT_EQ(demod.mpxd->readOutput(block.data(), 5000), 2072u);  // no input left for a step
    EXPECT_EQ(demod.mpxd->readOutput(block.data(), 5000), 0u);
}

TEST(MPXD, AFrameThatDoesNotFitEveryRingGoesIntoNoneAndResets) {
    Demodulation demod(192000);
    MPXD& mpxd = *demod.mpxd;
    const std::vector<float> input = Composite(192000, false).samples(64 * MPXD::hop + 1024);
    std::uint32_t fed = 0;
    auto step = [&] {
        mpxd.inputBuffer().write(input.data() + fed, MPXD::hop + (fed == 0 ? 1024 : 0));
        fed += MPXD::hop + (fed == 0 ? 1024 : 0);
        mpxd.processFrames();
    };
    for (int f = 0; f < 61; ++f) step();
    std::vector<float> taken(MPXD::hop);
    mpxd.leftReconstructionBuffer().readSliding(taken.data(), MPXD::hop, MPXD::hop);  // left alone has room
    step();
    EXPECT_EQ(mpxd.rightReconstructionBuffer().available(), 62u * MPXD::hop);
    step();  // 190,464 pending in right, RDS and quadrature: no room for another frame
    for (MPXD::Ring* ring : {&mpxd.leftReconstructionBuffer(), &mpxd.rightReconstructionBuffer(),
                             &mpxd.pilotOutputBuffer(), &mpxd.rdsReconstructionBuffer(),
                             &mpxd.quadReconstructionBuffer()}) {
        EXPECT_EQ(ring->getWriteCount(), 0u) << ring->getName();
        EXPECT_EQ(ring->getReadCount(), 0u) << ring->getName();
    }
    const auto texts = demod.logged.sink->waitFor("Demodulator reset", 2);  // set-up, then the refusal
    auto logged = [&](const std::string& text) { return std::find(texts.begin(), texts.end(), text) != texts.end(); };
    EXPECT_TRUE(logged("Buffer too full: cannot write 4096 samples in sliding window @ MPXD.rdsReconstructionBuffer"));
    EXPECT_FALSE(logged("Buffer too full: cannot write 4096 samples in sliding window @ MPXD.leftReconstructionBuffer"));
    step();
    EXPECT_EQ(mpxd.leftReconstructionBuffer().available(), MPXD::hop);
    EXPECT_EQ(mpxd.quadReconstructionBuffer().available(), MPXD::hop);
    EXPECT_EQ(mpxd.pilotOutputBuffer().available(), MPXD::hop);
}

TEST(MPXD, ANotANumberInACleanSignalIsForgottenWithinTwoFrames) {
    const Composite signal(192000, false);
    std::vector<float> input = signal.samples(frames10 + 2 * MPXD::hop);
    const std::size_t bad = 3 * MPXD::hop + 500;  // read by frames 2 and 3
    input[bad] = std::numeric_limits<float>::quiet_NaN();
    Demodulation demod(192000);
    const std::vector<Record> records = demod.run(input);
    EXPECT_TRUE(std::isnan(records[bad].left));
    // Frame 4 still adds onto frame 3's pending tail; two frames after it all is clean again.
    input[bad] = signal.sample(bad);
    expectDemodulated(signal, records, input, 7 * MPXD::hop);
    EXPECT_TRUE(std::isfinite(demod.mpxd->pilotMeanSquare()));
}

TEST(MPXD, RatesOutsideTheSupportedRangeAreRefused) {
    Demodulation demod(192000);
    for (const std::uint32_t rate : {0u, 38399u, 384001u, 4000000000u}) {
        EXPECT_FALSE(demod.mpxd->setSampleRate(rate)) << rate;
        EXPECT_EQ(demod.mpxd->audioMask().sampleRate, 192000u) << rate;
        EXPECT_EQ(demod.mpxd->pilotTracker().pilotNominalIncrement, 0.6217736f) << rate;
    }
    demod.logged.sink->waitFor("Demodulator: sample rate 0 Hz refused (accepted: 38400 to 384000 Hz), keeping 192000 Hz");
    for (const std::uint32_t rate : {38400u, 384000u}) {
        EXPECT_TRUE(demod.mpxd->setSampleRate(rate)) << rate;
        EXPECT_EQ(demod.mpxd->pilotMask().sampleRate, rate);
        EXPECT_LE(demod.mpxd->pilotMask().passStart, 4096u);
    }
}

TEST(MPXD, WithoutATransformPlanNoRecordsAreMadeAndInputStillFlows) {
    kestrava::RealFft::withholdPlanForTesting(12, true);
    Demodulation demod(192000);
    kestrava::RealFft::withholdPlanForTesting(12, false);
    EXPECT_FALSE(demod.mpxd->transformsAvailable());
    const std::vector<Record> records = demod.run(Composite(192000, false).samples(frames10));
    EXPECT_TRUE(records.empty());
    EXPECT_LT(demod.mpxd->inputBuffer().available(), MPXD::frameLength);
    const auto texts = demod.logged.sink->waitFor("Demodulator: no 4096-point FFT plan, unable to demodulate");
    EXPECT_EQ(texts.front(), "Demodulator: no 4096-point FFT plan, unable to demodulate");
}

TEST(MPXD, BothBuildsGiveIdenticalRecords) {
    const DemodKernels* avx2 = avx2DemodKernels();
    if (avx2 == nullptr) GTEST_SKIP() << "no AVX2 on this processor; the generic run covers the reference";
    // A clean composite plus noise and a stretch of silence, at both rates.
    for (const std::uint32_t rate : {192000u, 176400u}) {
        std::vector<float> input = Composite(rate, true).samples(frames10);
        std::mt19937 random(rate);
        std::normal_distribution<float> noise(0.0f, 0.05f);
        for (float& x : input) x += noise(random);
        std::fill(input.begin() + 5 * MPXD::hop, input.begin() + 6 * MPXD::hop, 0.0f);
        Demodulation generic(rate, genericDemodKernels());
        Demodulation wide(rate, *avx2);
        const std::vector<Record> a = generic.run(input);
        const std::vector<Record> b = wide.run(input);
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(Record)), 0) << rate;
    }
}

TEST(MPXD, InputAppendedFromAnotherThreadGivesTheSameRecords) {
    const std::vector<float> input = Composite(192000, false).samples(frames10);
    Demodulation reference(192000);
    const std::vector<Record> expected = reference.run(input);

    Demodulation demod(192000);
    std::thread producer([&] {
        for (std::size_t at = 0; at < input.size(); at += 1000) {
            const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(1000, input.size() - at));
            demod.mpxd->inputBuffer().write(input.data() + at, n);
        }
    });
    std::vector<Record> records;
    std::vector<Record> block(MPXD::hop);
    while (records.size() < expected.size()) {
        if (demod.mpxd->inputBuffer().available() < MPXD::frameLength) {
            std::this_thread::yield();
            continue;
        }
        const std::uint32_t got = demod.mpxd->readOutput(block.data(), MPXD::hop);
        records.insert(records.end(), block.begin(), block.begin() + got);
    }
    producer.join();
    ASSERT_EQ(records.size(), expected.size());
    EXPECT_EQ(std::memcmp(records.data(), expected.data(), records.size() * sizeof(Record)), 0);
}
