#include "SyncSimulation.h"
#include "gps/GpsTimeSync.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

using gpstest::SyncSimulation;
using kestrava::gps::GpsTimeSync;

namespace {

std::size_t firstStamped(const std::vector<SyncSimulation::Pulse>& pulses) {
    for (std::size_t i = 0; i < pulses.size(); ++i) {
        if (pulses[i].stamped) return i;
    }
    return pulses.size();
}

struct RateCase {
    std::int32_t rate;
    std::uint32_t block;
};

class SyncLock : public ::testing::TestWithParam<RateCase> {};

TEST_P(SyncLock, StampsOncePerSecondAtTheReceiversSecondAfterThe33rdMatch) {
    // Seconds cross midnight while the synchroniser converges.
    SyncSimulation sim(GetParam().rate, GetParam().block, 0.3, 86360, 0.05f);
    sim.runSeconds(55.0);
    const auto& p = sim.pulses;
    const std::size_t on = firstStamped(p);
    ASSERT_GT(on, 0u);
    ASSERT_LT(on + 5, p.size());
    EXPECT_EQ(p[on].matches, 33);
    EXPECT_EQ(p[on - 1].matches, 32);
    EXPECT_FALSE(p[on - 1].stamped);
    EXPECT_EQ(p[on].lockState, kestrava::gps::SyncLocked);  // it started with 32 matches
    for (std::size_t i = on; i < p.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(p[i].stamped);
        EXPECT_NEAR(p[i].position, sim.expectedPosition(p[i].second), 1.0);
        if (i > on) {
            EXPECT_EQ(p[i].second, (p[i - 1].second + 1) % 86400);
            EXPECT_NEAR(p[i].position - p[i - 1].position, GetParam().rate, 1.0);
        }
    }
    // Every pulse, from the first, carries its receiver's second within a sample.
    for (const auto& pulse : p) EXPECT_NEAR(pulse.position, sim.expectedPosition(pulse.second), 1.0) << pulse.second;
    EXPECT_EQ(sim.log.count("GPS pulses out of sync"), 0u);
    const GpsSyncStatus status = sim.log.config.gpsStatus();
    EXPECT_EQ(status.nmeaTimestamps, 1);
    EXPECT_EQ(status.lockState, kestrava::gps::SyncLocked);
    EXPECT_EQ(status.stamperSampleRate, static_cast<float>(GetParam().rate));
}

INSTANTIATE_TEST_SUITE_P(Rates, SyncLock, ::testing::Values(RateCase{192000, 2040}, RateCase{176400, 1911}));

TEST(GpsTimeSync, StatesWhileWaitingAcquiringConverging) {
    SyncSimulation sim(192000, 2040, 0.6, 1000);
    sim.runSeconds(5.0);
    EXPECT_TRUE(sim.pulses.empty());  // no mean interval yet
    EXPECT_EQ(sim.log.config.gpsStatus().nmeaTimestamps, 0);
    sim.runSeconds(40.0);
    for (const auto& pulse : sim.pulses) {
        const std::int32_t before = pulse.matches - 1;  // each of these pulses was matched at once
        const std::int32_t expected = pulse.matches == 0 || &pulse == &sim.pulses.front()
                                          ? kestrava::gps::SyncNone
                                          : before < 20 ? kestrava::gps::SyncAcquiring
                                          : before < 32 ? kestrava::gps::SyncConverging
                                                        : kestrava::gps::SyncLocked;
        EXPECT_EQ(pulse.lockState, expected) << pulse.matches;
    }
}

TEST(GpsTimeSync, PulseAtTheEndOfABlockHasTheBlockLengthAsOffset) {
    // 1024 Hz in blocks of 256: every time here is exact. The mean interval is known at the
    // burst of 6.5 s, so the first pulse goes to 7.5 s, the end of the block 7.25 .. 7.5 s.
    SyncSimulation sim(1024, 256, 0.5, 500);
    sim.runSeconds(8.0);
    ASSERT_FALSE(sim.pulses.empty());
    EXPECT_EQ(sim.pulses[0].sample, 7 * 1024 + 256);
    EXPECT_EQ(sim.pulses[0].position, 7.5 * 1024);
    EXPECT_EQ(sim.pulses[0].second, 507);
    // (7 * 1024 + 256 is the start of the block 7.25 .. 7.5 s; the offset is its length.)
    EXPECT_EQ(sim.pulses[0].position - static_cast<double>(sim.pulses[0].sample), 256.0);
}

TEST(GpsTimeSync, SecondAtPulseIsTheStampArrivingNearest) {
    struct Case {
        std::int32_t latest;
        double sinceLatest, delay;
        std::int32_t expected;
    };
    const Case cases[] = {
        {100, 0.7, 0.0, 101},   // the last stamp arrived 0.7 s ago: the next second
        {100, 0.3, 0.0, 100},   // 0.3 s ago: the latest second itself
        {86399, 0.7, 0.0, 0},   // across midnight
        {100, 0.3, 0.3, 101},   // the delay moves the pulse before its stamp
        {100, 2.9, 0.2, 103},
        {0, -0.8, 0.0, 86399},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GpsTimeSync::secondAtPulse(c.latest, 50.0, 50.0 + c.sinceLatest, c.delay, 1.0), c.expected)
            << c.latest << " " << c.sinceLatest;
    }
}

TEST(GpsTimeSync, ReceiverSilentWhileOpenTracksSixtySecondsThenSwitchesOff) {
    SyncSimulation sim(192000, 2040, 0.25, 40000);
    sim.runSeconds(45.0);
    ASSERT_TRUE(sim.pulses.back().stamped);
    const std::int32_t last = sim.secondOf(sim.nextBurst - 1);
    sim.sending = false;
    const std::size_t before = sim.pulses.size();
    sim.runSeconds(75.0);
    // The pulses for last+1 .. last+60 still go out, stamped, one per second.
    std::vector<std::int32_t> seconds;
    for (std::size_t i = before; i < sim.pulses.size(); ++i) {
        EXPECT_TRUE(sim.pulses[i].stamped);
        seconds.push_back(sim.pulses[i].second);
    }
    ASSERT_FALSE(seconds.empty());
    EXPECT_EQ(seconds.back(), last + 60);
    EXPECT_EQ(sim.log.count("GPS pulse: expected " + std::to_string(last + 61) + ", received " + std::to_string(last) +
                            ", offset more than 60 seconds - switching off until good pulses arrive again"),
              1u);
    EXPECT_EQ(sim.log.config.gpsStatus().nmeaTimestamps, 0);

    // The receiver comes back: a fresh lock after its sixth good interval, at its own seconds.
    sim.sending = true;
    const std::size_t back = sim.pulses.size();
    sim.runSeconds(12.0);
    ASSERT_GT(sim.pulses.size(), back);
    for (std::size_t i = back; i < sim.pulses.size(); ++i) {
        EXPECT_NEAR(sim.pulses[i].position, sim.expectedPosition(sim.pulses[i].second), 1.0);
    }
}

TEST(GpsTimeSync, StaleExpectedSecondAfterTheReaderStartsOverIsOutOfSync) {
    SyncSimulation sim(192000, 2040, 0.4, 7000);
    sim.runSeconds(40.0);
    const std::int32_t expected = (sim.pulses.back().second + 1) % 86400;
    // A reopened device: the reader's estimators start over, and the synchroniser waits.
    sim.sync.reader().resetFilters();
    sim.runSeconds(8.0);
    int found = 0;
    for (const auto& text : sim.log.logged()) {
        int e = -1, r = -1;
        if (std::sscanf(text.c_str(), "GPS pulses out of sync, expected %d, received %d", &e, &r) == 2) {
            ++found;
            EXPECT_EQ(e, expected);
            EXPECT_TRUE(r - e >= 2 && r - e <= 60) << text;
        }
    }
    EXPECT_EQ(found, 1);
    const std::size_t after = sim.pulses.size();
    sim.runSeconds(10.0);
    ASSERT_GT(sim.pulses.size(), after);
    for (std::size_t i = after; i < sim.pulses.size(); ++i) {
        EXPECT_NEAR(sim.pulses[i].position, sim.expectedPosition(sim.pulses[i].second), 1.0);
    }
}

TEST(GpsTimeSync, JumpInTheReceiversSecondsResetsAtTheNextPulse) {
    SyncSimulation sim(192000, 2040, 0.1, 3000);
    sim.runSeconds(20.0);
    ASSERT_FALSE(sim.pulses.empty());
    sim.jump = 5;  // the receiver's seconds jump while its timing stays
    const std::size_t before = sim.pulses.size();
    sim.runSeconds(3.0);
    EXPECT_EQ(sim.sync.matches(), 0);
    EXPECT_EQ(sim.log.count("GPS pulses out of sync"), 0u);
    EXPECT_LE(sim.pulses.size(), before + 1);
    EXPECT_EQ(sim.log.config.gpsStatus().lockState, kestrava::gps::SyncNone);
}

TEST(GpsTimeSync, SteeringPerPulseIsLimitedToOnePeriodOf19kHz) {
    SyncSimulation sim(192000, 2040, 0.3, 100);
    sim.runSeconds(45.0);
    const double m = sim.sync.reader().meanInterval();
    for (double push : {0.5, -0.5}) {
        SCOPED_TRACE(push);
        for (int i = 0; i < 400; ++i) sim.sync.addPulseOffset(push);
        const std::size_t n = sim.pulses.size();
        while (sim.pulses.size() == n) sim.step();
        EXPECT_DOUBLE_EQ(sim.sync.interval(), 192000.0 * m + std::copysign(192000.0 / 19000.0, push));
    }
    // An offset beyond 10 s is logged and left out of the means.
    const double before = sim.sync.meanOffset();
    EXPECT_FALSE(sim.sync.addPulseOffset(12.0));
    EXPECT_EQ(sim.sync.meanOffset(), before);
    EXPECT_EQ(sim.log.count("Large pulse offset: 12, ignoring pulse"), 1u);
}

TEST(GpsTimeSync, OffsetMeansDecayFrom0999To0872) {
    SyncSimulation sim(192000, 2040, 0.3, 100);
    for (int i = 0; i < 6; ++i) sim.sync.addPulseOffset(9.0);  // the warm-up ignores these
    sim.sync.addPulseOffset(1.0);
    EXPECT_DOUBLE_EQ(sim.sync.meanOffset(), 1.0);
    sim.sync.addPulseOffset(0.0);
    // Each mean is then a / (1 + a) for its decay a.
    double expected = 0.0;
    for (double a : {0.999, 0.998, 0.996, 0.992, 0.984, 0.968, 0.936, 0.872}) expected += a / (1.0 + a) / 8.0;
    EXPECT_NEAR(sim.sync.meanOffset(), expected, 1e-12);
}

}  // namespace
