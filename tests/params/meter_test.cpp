#include "params/LevelHistory.h"
#include "params/PDualMeter.h"
#include "params/PMeter.h"

#include "ParamsFixture.h"
#include "platform/ErrorState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrava;
using namespace kestrava::params;

namespace {

constexpr int clientView = 3;
const float notANumber = std::numeric_limits<float>::quiet_NaN();

struct TestMeter : PMeter {
    TestMeter(TestOwner& owner, LevelHistory* h = nullptr, Options o = {})
        : PMeter(owner, 4, ID_NONE, "Level", h, std::move(o)) {
        updateViewFlags();
    }
};

// The state words of a meter for one request (no header), or nothing when none were written.
std::vector<std::uint16_t> stateWords(Param& meter, bool force) {
    WordWriter out;
    WidgetContext widget;
    widget.effectiveView = clientView;
    widget.force = force;
    meter.writeWireState(RequestContext{clientView}, widget, out);
    return out.data();
}

}  // namespace

TEST(MeterLevels, LevelWords) {
    struct Case {
        float x;
        std::uint16_t word;
    };
    const Case cases[] = {{1.0f, 0x4000}, {0.5f, 0x2000}, {2.0f, 0x4000}, {0.0f, 0},
                          {-0.1f, 0xFFFF}, {-1.0f, 0xFFFF}, {notANumber, 0}};
    for (const Case& c : cases) EXPECT_EQ(meterLevelWord(c.x), c.word) << c.x;
}

TEST(LevelHistory, LiveModeGivesTheNewestPoint) {
    LevelHistory h;
    h.setInterval(-1.0f);
    h.push(0.1f, 0.2f, 0.3f, 0.4f);
    h.push(0.5f, 0.6f, 0.7f, 0.8f);
    const LevelHistory::Window w = h.readWindow(clientView, 1.0f, true);
    EXPECT_EQ(w.main, 0.5f);
    EXPECT_EQ(w.gate, 0.8f);
    EXPECT_EQ(w.releaseHold, -1.0f);
    EXPECT_EQ(h.readPosition(clientView), 0);
}

// Points 0.1 s apart; a window trailing the newest by 0.2 s covers the points from the view's
// last read up to three points before the write index.
TEST(LevelHistory, WindowsPerView) {
    LevelHistory h;
    h.setInterval(0.1f);
    const float mains[] = {0.2f, 0.9f, 0.1f, 0.4f, 0.3f, 0.5f, 0.6f};
    for (float m : mains) h.push(m, m / 2, 0, 0);
    const LevelHistory::Window peak = h.readWindow(clientView, 0.2f, true);
    EXPECT_EQ(peak.main, 0.9f);  // points 0..3
    EXPECT_EQ(h.readPosition(clientView), 4);
    const LevelHistory::Window low = h.readWindow(5, 0.2f, false);
    EXPECT_EQ(low.main, 0.1f);
    // The next window starts where the last one ended.
    h.push(0.05f, 0, 0, 0);
    EXPECT_EQ(h.readWindow(clientView, 0.2f, true).main, 0.3f);  // points 4
    EXPECT_EQ(h.readPosition(clientView), 5);
    EXPECT_EQ(h.readPosition(7), 0);  // an unread view keeps its position
}

// With the colour left to the wire, the integer part of the second value picks it; -3 also
// shows the bar full, -6 and anything from 1 up have no colour.
TEST(Meter, ColourFromSecondValue) {
    struct Case {
        float second;
        std::uint16_t colour;
        std::uint16_t mainWord;
    };
    const Case cases[] = {{-3.5f, 3, 0x4000}, {-6.0f, 0xFFFF, 0x0CCD}, {0.7f, 0, 0x0CCD},
                          {1.2f, 0xFFFF, 0x0CCD}, {-8.0f, 8, 0x0CCD}, {-1.0f, 1, 0x0CCD}};
    for (const Case& c : cases) {
        TestOwner owner;
        TestMeter meter(owner);
        meter.setPending(clientView, MeterValues{0.2f, c.second, 0.0f, 0.0f, 0.0f, 0.0f});
        meter.refresh(clientView, 0.0f);
        const auto words = stateWords(meter, false);
        ASSERT_EQ(words.size(), 6u) << c.second;
        EXPECT_EQ(words[0], c.mainWord) << c.second;
        EXPECT_EQ(words[4], c.colour) << c.second;
        EXPECT_EQ(words[5], 0) << "empty error text";
    }
}

// A request without a change writes nothing; with force the full six words.
TEST(Meter, WritesOnlyChangesUnlessForced) {
    TestOwner owner;
    LevelHistory h;
    h.setInterval(-1.0f);
    h.push(0.5f, 0.25f, -1.0f, 0.0f);
    h.setMedian(0.125f);
    PMeter::Options o;
    o.color = 2;
    TestMeter meter(owner, &h, o);
    meter.refresh(clientView, 0.0f);
    EXPECT_TRUE(meter.valueChanged.test(clientView + 1));  // the view's pair
    EXPECT_EQ(stateWords(meter, false), (std::vector<std::uint16_t>{0x2000, 0x1000, 0xFFFF, 0x0800, 2, 0}));
    meter.refresh(clientView, 0.0f);
    EXPECT_TRUE(stateWords(meter, false).empty());
    EXPECT_EQ(stateWords(meter, true).size(), 6u);
    meter.setColor(3);  // a colour change alone is a change
    meter.refresh(clientView, 0.0f);
    EXPECT_EQ(stateWords(meter, false)[4], 3);
}

TEST(Meter, BadValuesAreShownAsZeroAndReported) {
    ErrorState::reset();
    TestOwner owner;
    TestMeter meter(owner);
    meter.setPending(clientView, MeterValues{notANumber, 0.5f, 5e11f, 0.0f, 0.0f, 0.0f});
    meter.refresh(clientView, 0.0f);
    const auto words = stateWords(meter, true);
    EXPECT_EQ(words[0], 0);
    EXPECT_EQ(words[2], 0);
    EXPECT_EQ(ErrorState::errorState.load(), ErrorState::SawNan);
    const std::string tag = "1a" + std::to_string(ID_NONE) + " ";
    const std::string list = PMeter::tagList().text();
    EXPECT_NE(list.find(tag + "1bl"), std::string::npos) << list;
    EXPECT_EQ(std::string(ErrorState::errorText).rfind(std::string(MeterTagList::errorPrefix), 0), 0u);
    stateWords(meter, true);
    EXPECT_GT(PMeter::tagList().text().size(), list.size());  // reported again
    ErrorState::reset();
}

// A scale that puts -60 dB at 0 and full scale at 1.
TEST(Meter, DecibelReadOut) {
    TestOwner owner;
    PMeter::Options o;
    o.scaleType = 1;
    o.dbScale = static_cast<float>(1.0 / (20.0 * std::log(1000.0)));
    TestMeter meter(owner, nullptr, o);
    meter.setPending(clientView, MeterValues{0.1f, 0.0001f, 0.001f, 0.0f, 1.0f, 0.7f});
    meter.refresh(clientView, 0.0f);
    const MeterValues v = meter.getMeterClientValues(clientView);
    EXPECT_NEAR(v.main, 2.0f / 3.0f, 1e-5);
    EXPECT_EQ(v.second, 0.0f);                 // below the range: held at 0
    EXPECT_NEAR(v.limit, 0.0f, 1e-5);
    EXPECT_NEAR(v.gate, 1.0f - 11.0f / 3.0f, 1e-4);  // 1e-11 at the least, and no floor at 0
    EXPECT_NEAR(v.median, 1.0f, 1e-6);
    EXPECT_EQ(v.releaseHold, 0.7f);
}

// Full scale on channel 0 holds its clip colour for 30 state writes.
TEST(DualMeter, ClipHoldAndWords) {
    TestOwner owner;
    PDualMeter::Options o;
    o.clipMode = 1;
    o.clipColor = 16;
    o.baseColor = 4;
    PDualMeter meter(owner, 4, ID_NONE, "Levels", nullptr, nullptr, o);
    meter.updateViewFlags();
    MeterValues ch0{0.99996f, 0.5f, 0.25f, 0.0f, 0.1f, 0.0f};
    MeterValues ch1{0.5f, 0.5f, 0.0f, 0.75f, 0.2f, 0.0f};
    meter.setPending(clientView, {ch0, ch1});
    meter.refresh(clientView, 0.0f);
    auto words = stateWords(meter, false);
    ASSERT_EQ(words.size(), 11u);
    // The gate pair (0.75) outweighs the limit pair (0.25): words 4 and 5 carry the gates.
    EXPECT_EQ(words, (std::vector<std::uint16_t>{0x3FFF, 0x2000, 0x2000, 0x2000, 0, 0x3000, 0x0666, 0x0CCD, 1, 1, 0}));
    meter.setPending(clientView, {MeterValues{}, MeterValues{}});  // no new clip
    for (int n = 2; n <= 31; ++n) {
        meter.refresh(clientView, 0.0f);
        words = stateWords(meter, true);
        EXPECT_EQ(words[9], n <= 30 ? 1 : 0) << "state write " << n;
    }
    EXPECT_EQ(meter.holdCount(0), 0.0f);
    EXPECT_EQ(words[10], 0);
}

TEST(DualMeter, BadPairIsZeroedTogether) {
    TestOwner owner;
    PDualMeter meter(owner, 4, ID_NONE, "Levels", nullptr, nullptr, {});
    meter.setPending(clientView, {MeterValues{0.5f, 0, 0, 0, 0, 0}, MeterValues{notANumber, 0, 0, 0, 0, 0}});
    meter.force(clientView);
    meter.refresh(clientView, 0.0f);
    const auto v = meter.getDualMeterClientValues(clientView);
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_NE(PDualMeter::tagList().text().find("2a"), std::string::npos);
    ErrorState::reset();
}
