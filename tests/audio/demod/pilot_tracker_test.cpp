// The pilot loop on clean sines: the oracles are the sine's own phase and frequency.
#include "audio/demod/PilotTracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

using kestrava::audio::demod::PilotTracker;

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;
constexpr std::uint32_t frame = 3072;

// Distance between two phases in cycles, in [-0.5, 0.5).
double cycleDistance(double a, double b) { return a - b - std::floor(a - b + 0.5); }

struct SineRun {
    SineRun(double hz, double amplitude, double startPhase, std::uint32_t rate = 192000)
        : hz(hz), amplitude(amplitude), startPhase(startPhase), rate(rate) {
        tracker.setSampleRate(rate);
    }

    double phaseCycles(std::uint64_t n) const { return (startPhase + twoPi * hz * n / rate) / twoPi; }

    // Runs one frame of the sine; keeps the phases the loop reports and predicts.
    void runFrame() {
        samples.resize(frame);
        phases.resize(frame);
        for (std::uint32_t i = 0; i < frame; ++i) {
            samples[i] = static_cast<float>(amplitude * std::sin(twoPi * phaseCycles(position + i)));
        }
        tracker.track(samples.data(), phases.data(), frame);
        first = position;
        position += frame;
    }

    double hz, amplitude, startPhase;
    std::uint32_t rate;
    PilotTracker tracker;
    std::vector<float> samples, phases;
    std::uint64_t position = 0, first = 0;
};

}  // namespace

TEST(PilotTracker, LocksOntoA19kHzPilotFromAnyStartingPhase) {
    for (const double start : {0.0, 1.0, 2.5, -2.0, 3.1}) {
        for (const std::uint32_t rate : {192000u, 176400u}) {
            SCOPED_TRACE(testing::Message() << "start " << start << " rad, " << rate << " Hz");
            SineRun run(19000.0, 0.1, start, rate);
            run.runFrame();
            for (int f = 0; f < 3; ++f) {
                run.runFrame();
                for (std::uint32_t i = 0; i < frame; ++i) {
                    const double truth = run.phaseCycles(run.first + i);
                    ASSERT_LT(std::abs(cycleDistance(run.phases[i], truth)), 1e-4) << i;
                    ASSERT_LT(std::abs(cycleDistance(run.samples[i], run.phaseCycles(run.first + i + 1))), 1.5e-4) << i;
                    ASSERT_GE(run.phases[i], 0.0f);
                    ASSERT_LT(run.phases[i], 1.0f);
                }
            }
            EXPECT_NEAR(run.tracker.pilotIncrement, run.tracker.pilotNominalIncrement,
                        run.tracker.pilotNominalIncrement * 1e-5);
            EXPECT_GT(run.tracker.pilotMeanSquare, 0.00405f);
            EXPECT_LT(run.tracker.pilotMeanSquare, 0.005f);
        }
    }
}

TEST(PilotTracker, FollowsAnOffsetPilotAndPinsOneBeyondItsRange) {
    {
        SineRun run(19010.0, 0.09, 0.7);
        for (int f = 0; f < 12; ++f) run.runFrame();
        // The integral path stops once its step is below half a unit in the last place; the
        // proportional path makes up the rest, so the frequency rests within 0.2 Hz.
        EXPECT_NEAR(run.tracker.pilotIncrement, twoPi * 19010.0 / 192000.0, twoPi * 0.2 / 192000.0);
        EXPECT_LT(std::abs(cycleDistance(run.phases.back(), run.phaseCycles(run.first + frame - 1))), 1e-4);
    }
    {
        // 19.3 kHz lies beyond the loop's 19.2 kHz limit: the frequency stays pinned there and the
        // proportional path keeps the loop in step, about 0.33 rad behind the pilot.
        SineRun run(19300.0, 0.09, 0.2);
        for (int f = 0; f < 4; ++f) run.runFrame();
        for (int f = 0; f < 2; ++f) {
            run.runFrame();
            EXPECT_EQ(run.tracker.pilotIncrement, run.tracker.pilotMaxIncrement);
            for (std::uint32_t i = 0; i < frame; i += 97) {
                const double lag = twoPi * cycleDistance(run.phaseCycles(run.first + i), run.phases[i]);
                ASSERT_NEAR(lag, 0.33, 0.03) << i;
            }
        }
    }
}

TEST(PilotTracker, ANotANumberIsForgottenAtTheEndOfItsFrame) {
    SineRun run(19000.0, 0.09, 0.4);
    for (int f = 0; f < 2; ++f) run.runFrame();
    run.samples.assign(frame, 0.0f);
    for (std::uint32_t i = 0; i < frame; ++i) {
        run.samples[i] = static_cast<float>(0.09 * std::sin(twoPi * run.phaseCycles(run.position + i)));
    }
    run.samples[1500] = std::numeric_limits<float>::quiet_NaN();
    run.phases.assign(frame, 0.0f);
    run.tracker.track(run.samples.data(), run.phases.data(), frame);
    run.position += frame;
    EXPECT_TRUE(std::isnan(run.phases[1500]));
    EXPECT_TRUE(std::isnan(run.phases[frame - 1]));
    EXPECT_EQ(run.tracker.pilotPhase, 0.0f);
    EXPECT_EQ(run.tracker.pilotIncrement, run.tracker.pilotMinIncrement);
    EXPECT_EQ(run.tracker.pilotMeanSquare, PilotTracker::initialMeanSquare);
    EXPECT_EQ(run.tracker.pilotDelay1, 0.0f);
    EXPECT_EQ(run.tracker.pilotDelay2, 0.0f);

    // The loop starts over and is locked again within the next two frames.
    run.runFrame();
    run.runFrame();
    for (std::uint32_t i = 0; i < frame; ++i) {
        ASSERT_LT(std::abs(cycleDistance(run.phases[i], run.phaseCycles(run.first + i))), 1e-4) << i;
    }
}

TEST(PilotTracker, WithoutAPilotTheFrequencyReturnsToNominal) {
    PilotTracker tracker;
    tracker.setSampleRate(192000);
    tracker.pilotMeanSquare = 0.0f;
    tracker.pilotIncrement = tracker.pilotMaxIncrement;
    std::vector<float> samples(frame, 0.0f), phases(frame);
    tracker.track(samples.data(), phases.data(), frame);
    // With no level both gains are 0 and the frequency moves 0.1 % of its distance per sample
    // (in single precision, so only roughly the exact 0.999^3072 of the way).
    const double start = tracker.pilotMaxIncrement - tracker.pilotNominalIncrement;
    const double left = tracker.pilotIncrement - tracker.pilotNominalIncrement;
    EXPECT_NEAR(left / start, std::pow(0.999, frame), 0.01);
    EXPECT_EQ(tracker.pilotMeanSquare, 0.0f);
}
