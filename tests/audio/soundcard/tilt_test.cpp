#include "audio/soundcard/Tilt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using kestrava::audio::soundcard::Tilt;

namespace {

int nanReports = 0;
std::string lastReport;
int lastState = 0;
void recordError(std::int32_t state, std::string_view text) {
    ++nanReports;
    lastState = state;
    lastReport = std::string(text);
}

Tilt makeTilt(float rc, float leak = 0.5f, float rate = 192000.0f) {
    Tilt t;
    t.sampleRate = rate;
    t.rc = rc;
    t.leak = leak;
    t.updateCoefficients();
    t.errorRecorder = recordError;
    return t;
}

}  // namespace

TEST(Tilt, DefaultsPassTheInputUnchanged) {
    Tilt t = makeTilt(5.0f);
    EXPECT_TRUE(t.singleSection);
    for (float x : {0.0f, 1.0f, -0.75f, 3.5e3f}) EXPECT_EQ(t.process(x), x);
}

TEST(Tilt, ShortTimeConstantLiftsAConstantToThreeMinusDTimesItsValue) {
    Tilt t = makeTilt(0.01f);
    const double d = 1.0 - 0.01 / (1.0 / 192000.0 + 0.01);
    EXPECT_NEAR(d, 5.2056e-4, 1e-8);
    EXPECT_TRUE(t.singleSection);
    EXPECT_NEAR(t.poleSingle, 1.0 - 0.5 * d, 1e-7);
    EXPECT_NEAR(t.gainSingle, d, 1e-9);
    float y = 0.0f;
    for (int i = 0; i < 400000; ++i) y = t.process(0.5f);
    EXPECT_NEAR(y, 0.5 * (3.0 - d), 5e-4);

    Tilt negative = makeTilt(-0.01f);
    EXPECT_EQ(negative.poleSingle, t.poleSingle);
    EXPECT_EQ(negative.gainSingle, -t.gainSingle);
}

TEST(Tilt, SectionsSwitchOffAboveFourAndAHalfSeconds) {
    EXPECT_NE(makeTilt(4.5f).gainSingle, 0.0f);
    EXPECT_EQ(makeTilt(4.5001f).gainSingle, 0.0f);
}

TEST(Tilt, CornerOfUnlinkedTimeConstants) {
    const struct {
        float rc, rc2, corner;
        bool firstOn;
    } cases[] = {
        {1.0f, 2.0f, 2.0f, true},
        {2.0f, 1.0f, -2.0f, true},
        {1.0f, 1.1f, 5.0f, false},      // about 11, capped at 5: off
        {1.1f, 1.0f, -11.0f, false},    // about -11, not capped, off
    };
    for (const auto& c : cases) {
        Tilt t;
        t.sampleRate = 192000.0f;
        t.linkRc2 = false;
        t.rc = c.rc;
        t.rc2 = c.rc2;
        t.updateCoefficients();
        EXPECT_NEAR(t.corner, c.corner, 0.01f) << c.rc << "/" << c.rc2;
        EXPECT_EQ(t.gain1 != 0.0, c.firstOn) << c.rc << "/" << c.rc2;
    }
    Tilt linked = makeTilt(1.0f);
    EXPECT_FLOAT_EQ(linked.corner, -100000.0f);
}

TEST(Tilt, LeakAboveNinetyNineHundredthsRunsEachSectionTwiceWithDoubledTimeConstant) {
    Tilt t = makeTilt(0.01f, 0.99f);  // the float nearest 0.99 lies above 0.99
    EXPECT_FALSE(t.singleSection);
    const double tc = 2.0 * static_cast<double>(0.01f);
    const double d = 1.0 - tc / (1.0 / 192000.0 + tc);
    EXPECT_NEAR(t.gain2, d, 1e-12);
    EXPECT_EQ(t.gain1, 0.0);
    // Two passes of the same section on a unit impulse: first output 1, the next is the sum of
    // both passes' feedback.
    const float first = t.process(1.0f);
    EXPECT_FLOAT_EQ(first, 1.0f);
    const double p = t.pole2;
    const double s4 = d;                 // state of pass 1 after the impulse
    const double s6 = d * 1.0;           // pass 2 sees y = 1 as well
    const float expected = static_cast<float>(0.0f + static_cast<float>(s4 * p)) + static_cast<float>(s6 * p);
    EXPECT_FLOAT_EQ(t.process(0.0f), expected);
}

TEST(Tilt, SanitisingKeepsLargeStatesAndClearsWildOnes) {
    Tilt t = makeTilt(0.01f, 0.995f);
    t.states[0] = 3.95e27;
    t.states[2] = -3.95e27;
    t.states[4] = 4e27;
    t.states[6] = std::numeric_limits<double>::quiet_NaN();
    t.singleStates[0] = std::numeric_limits<float>::infinity();
    t.updateCoefficients();
    EXPECT_EQ(t.states[0], 3.95e27);
    EXPECT_EQ(t.states[2], -3.9e27);
    EXPECT_EQ(t.states[4], 0.0);
    EXPECT_EQ(t.states[6], 0.0);
    EXPECT_EQ(t.singleStates[0], 0.0f);
}

TEST(Tilt, OutOfRangeInputGivesZeroAndAReportOnBothPaths) {
    for (float leak : {0.5f, 0.995f}) {
        Tilt t = makeTilt(0.01f, leak);
        for (int i = 0; i < 100; ++i) t.process(0.25f);
        const double statesBefore[] = {t.states[4], t.states[6]};
        const float singleBefore = t.singleStates[0];
        nanReports = 0;
        for (float bad : {std::numeric_limits<float>::quiet_NaN(), 4.1e9f, -std::numeric_limits<float>::infinity()}) {
            EXPECT_EQ(t.process(bad), 0.0f) << leak;
        }
        EXPECT_EQ(nanReports, 3) << leak;
        EXPECT_EQ(lastState, 1);
        EXPECT_EQ(lastReport, "TILT: GOT NAN INPUT.");
        EXPECT_EQ(t.states[4], statesBefore[0]);
        EXPECT_EQ(t.states[6], statesBefore[1]);
        EXPECT_EQ(t.singleStates[0], singleBefore);
        EXPECT_TRUE(std::isfinite(t.process(0.25f))) << leak;
        EXPECT_EQ(t.process(4e9f) != 0.0f, true) << "the limit itself is accepted";
    }
}
