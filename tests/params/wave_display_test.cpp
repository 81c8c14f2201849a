#include "params/DisplayCanvas.h"
#include "params/PWave.h"

#include "ParamsFixture.h"
#include "audio/OldSamples.h"
#include "platform/AlignedNew.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

using kestrava::audio::OldSamples;

using namespace kestrava;
using namespace kestrava::params;

namespace {

constexpr float rate = 192000.0f;
constexpr int clientView = 3;

// A wave as the settings tree makes them: view mask 4, fine mode allowed, the fixed search
// window on for the chained pair.
struct TestWave : PWave {
    TestWave(TestOwner& owner, OldSamples* history, float value, ParamId id = OUTPUT_FM_WAVE, PWave* master = nullptr)
        : PWave(owner, 4, id, 17, history, master, value, true, master != nullptr) {
        updateViewFlags();
    }
};

// A history fed with a sine at `level` of full scale, continuing its phase from block to block.
struct SineHistory {
    std::shared_ptr<OldSamples> history = kestrava::makeAligned<OldSamples>(true);
    double frequency = 1000.0;
    double level = 0.5;
    long index = 0;

    SineHistory() { history->storedRate.store(rate); }
    // Room for every span up to 0.4 s, in place after the next block.
    void reserve() { history->requestSize(65536 + 2 * 38400); }
    void feed(int count) {
        std::vector<float> block(static_cast<std::size_t>(count));
        for (float& s : block) s = static_cast<float>(level * std::sin(2.0 * std::numbers::pi * frequency * index++ / rate));
        history->append(block.data(), count);
        history->captureView(clientView);  // what the web content does when a request begins
    }
};

struct Trace {
    int width = 0, height = 0;
    bool fine = false;
    int first = 0, start = 0;
    std::int32_t value = 0;
    std::vector<std::array<int, 8>> columns;  // from the start column on
    bool written = false;
};

// One "/update" group for the wave, read back with the reply reader.
Trace request(PWave& wave, DisplayCanvas* canvas, std::vector<std::int32_t> numbers, bool force = false) {
    numbers.insert(numbers.begin(), head(wave) | (force ? (1 << 16) : 0));
    WordWriter out;
    Trace t;
    if (!applyWidgetUpdate(wave, RequestContext{clientView, canvas}, numbers, out)) return t;
    t.written = true;
    OneWidget w(out.data());
    auto body = w.body();
    if (body.atEnd()) return t;
    t.width = body.word();
    t.height = body.word();
    if (body.atEnd()) return t;
    t.fine = body.flag();
    t.first = static_cast<std::int16_t>(body.word());
    t.start = body.word();
    t.value = body.number32();
    while (!body.atEnd()) {
        std::array<int, 8> c{};
        for (int& v : c) v = body.word();
        t.columns.push_back(c);
    }
    return t;
}

}  // namespace

// Zoom word 32768 is factor 1; each step multiplies or divides by 1.0333333. A span landing near
// 5 s becomes 6.4 s; the span stays within 0.0025 .. 10 s.
TEST(WaveZoom, Steps) {
    struct Case {
        float start;
        std::int32_t word;
        float expected;
        bool changed;
    };
    const Case cases[] = {
        {5.0f, 32768, 6.4f, true},        {4.95f, 32768, 6.4f, true},     {9.8f, 32769, 10.0f, true},
        {0.0026f, 32760, 0.0025f, true},  {0.2f, 32769, 0.2f * 1.0333333f, true},
        {0.2f, 32767, 0.2f / 1.0333333f, true}, {10.0f, 32800, 10.0f, false}, {0.0025f, 0, 0.0025f, false},
        {1.0f, 32768, 1.0f, false},
    };
    for (const Case& c : cases) {
        TestOwner owner;
        TestWave wave(owner, nullptr, c.start);
        WordWriter out;
        const std::vector<std::int32_t> group{head(wave), c.word};
        applyWidgetUpdate(wave, RequestContext{clientView}, group, out);
        EXPECT_NEAR(wave.current(), c.expected, c.expected * 1e-5) << c.start << " zoomed by " << c.word;
        EXPECT_EQ(owner.userChanges.load(), c.changed ? 1 : 0) << c.start << " zoomed by " << c.word;
    }
}

// n = 1 carries the zoom word alone, n = 2 the canvas size alone, n >= 3 both; a height of 0
// makes the width 0, and then only the two size words are written.
TEST(WaveZoom, RequestGroups) {
    TestOwner owner;
    DisplayCanvas canvas;
    TestWave wave(owner, nullptr, 1.0f);
    Trace t = request(wave, &canvas, {32769}, true);
    EXPECT_NEAR(wave.current(), 1.0333333f, 1e-5);
    EXPECT_EQ(t.width, 0);
    t = request(wave, &canvas, {300, 120}, true);
    EXPECT_NEAR(wave.current(), 1.0333333f, 1e-5);
    EXPECT_EQ(t.width, 300);
    EXPECT_EQ(t.height, 120);
    t = request(wave, &canvas, {5000, 4000, 32767}, true);
    EXPECT_NEAR(wave.current(), 1.0f, 1e-5);
    EXPECT_EQ(t.width, 2048);
    EXPECT_EQ(t.height, 2047);
    t = request(wave, &canvas, {300, 0, 32768}, true);
    EXPECT_EQ(t.width, 0);
    EXPECT_EQ(t.height, 0);
    EXPECT_TRUE(t.columns.empty());
}

// Zooming the follower changes its master's value; both show it.
TEST(WaveZoom, FollowerZoomsItsMaster) {
    TestOwner owner;
    TestWave master(owner, nullptr, 0.2f, INPUT_WAVE2);
    TestWave follower(owner, nullptr, 0.2f, INPUT_WAVE_DETILTED, &master);
    EXPECT_EQ(master.followerCount(), 1);
    WordWriter out;
    const std::vector<std::int32_t> group{head(follower), 32769};
    applyWidgetUpdate(follower, RequestContext{clientView}, group, out);
    EXPECT_NEAR(master.current(), 0.2f * 1.0333333f, 1e-6);
    EXPECT_FLOAT_EQ(follower.span(), master.current());
    EXPECT_EQ(follower.valueText(clientView, ValueKind::current), master.valueText(clientView, ValueKind::current));

    const TestWave extra[5] = {{owner, nullptr, 0.2f, INPUT_WAVE_DETILTED, &master},
                               {owner, nullptr, 0.2f, INPUT_WAVE_DETILTED, &master},
                               {owner, nullptr, 0.2f, INPUT_WAVE_DETILTED, &master},
                               {owner, nullptr, 0.2f, INPUT_WAVE_DETILTED, &master},
                               {owner, nullptr, 0.2f, INPUT_WAVE_DETILTED, &master}};
    EXPECT_EQ(master.followerCount(), 5);  // a sixth follower is not recorded
}

TEST(WaveTexts, FormatsAndLimits) {
    TestOwner owner;
    TestWave wave(owner, nullptr, 0.0025f);
    EXPECT_EQ(wave.valueText(clientView, ValueKind::current), "Disabled by zoom factor");
    wave.storeDefaultEverywhere(0.003f);
    EXPECT_EQ(wave.valueText(clientView, ValueKind::current), "0.003 sec");
    wave.storeDefaultEverywhere(10.0f);
    EXPECT_EQ(wave.displayText(), "10.0000");
    EXPECT_EQ(wave.saveText(0), "10.000000");
    EXPECT_FLOAT_EQ(wave.sliderPosition(0), 10.0f / 1024.0f);
    wave.storeDefaultEverywhere(0.025f);
    EXPECT_EQ(wave.displayText(), "0.02500");
    wave.setPersistent(false);
    EXPECT_EQ(wave.saveText(0), "");
    EXPECT_FLOAT_EQ(wave.parseText(0, "20"), 10.0f);
    EXPECT_FLOAT_EQ(wave.parseText(0, "0"), 0.0025f);
    EXPECT_FLOAT_EQ(wave.parseText(0, "junk"), 0.0025f);
    EXPECT_FLOAT_EQ(wave.valueFromSliderPosition(0, 0.5f), 10.0f);
    EXPECT_FLOAT_EQ(wave.valueFromSliderPosition(0, 0.0001f), 0.1024f);
}

TEST(WaveHistory, WithoutHistoryNothingIsDrawn) {
    TestOwner owner;
    DisplayCanvas canvas;
    TestWave wave(owner, nullptr, 0.5f);
    EXPECT_EQ(wave.getScaledLevel(), 0);
    EXPECT_FALSE(wave.reserveHistory(clientView, 0.0f, 100));
    EXPECT_EQ(wave.takeNewSampleCount(clientView), -1);
    EXPECT_FALSE(wave.isFineMode());
    wave.pollGraph(clientView, 0);
    const Trace t = request(wave, &canvas, {50, 40}, true);
    EXPECT_EQ(t.start, 0);
    ASSERT_EQ(t.columns.size(), 50u);
    for (const auto& c : t.columns) EXPECT_EQ(c, (std::array<int, 8>{9999, 9999, 9999, 10000, 10000, 10000, 0, 9999}));
}

// A span longer than the history asks it to grow and sends an empty picture; once the writer
// has swapped the larger ring in, the trace is drawn: a half-scale sine spans rows 31.25 to 66.75
// of a 100-row canvas. New samples then redraw only the last columns (plus three of margin).
TEST(WaveHistory, GrowsThenDrawsIncrementally) {
    TestOwner owner;
    DisplayCanvas canvas;
    SineHistory input;
    TestWave wave(owner, input.history.get(), 0.2f);
    input.feed(48000);
    Trace t = request(wave, &canvas, {200, 100}, true);
    ASSERT_EQ(t.columns.size(), 200u);
    EXPECT_EQ(t.columns[100][2], 9999);
    EXPECT_GE(input.history->getRequestedSize(), 65536 + 38400);

    input.feed(48000);  // the writer swaps the larger ring in; the capture installs its size
    ASSERT_GE(input.history->getSize(), 65536 + 38400);
    t = request(wave, &canvas, {200, 100}, true);
    EXPECT_EQ(t.start, 0);
    EXPECT_EQ(t.value, static_cast<std::int32_t>(0.5 + 0.2f * 2048.0));
    EXPECT_FALSE(t.fine);
    ASSERT_EQ(t.columns.size(), 200u);
    int top = 9999, bottom = 0;
    for (const auto& c : t.columns) {
        top = std::min(top, c[0] == 9999 ? c[1] == 9999 ? c[2] : c[1] : c[0]);
        bottom = std::max(bottom, c[5] == 10000 ? 0 : c[5] - 1);
        EXPECT_EQ(c[6], 0);
        EXPECT_EQ(c[7], 9999);
    }
    EXPECT_EQ(top, 31);
    EXPECT_EQ(bottom, 67);

    input.feed(480);
    request(wave, &canvas, {200, 100});
    input.feed(480);
    t = request(wave, &canvas, {200, 100});
    // skip = 38400 - 480 - round(3 / (199 / 38400)) = 37341; start = (199 x 37341 + 38399) / 38400.
    EXPECT_EQ(t.start, 194);
    EXPECT_EQ(t.columns.size(), 6u);

    // Nothing new: nothing is sent.
    EXPECT_FALSE(request(wave, &canvas, {200, 100}).written);
    // A forced request and a zoom redraw the whole width.
    input.feed(480);
    EXPECT_EQ(request(wave, &canvas, {200, 100}, true).start, 0);
    input.feed(480);
    t = request(wave, &canvas, {200, 100, 32769});
    EXPECT_EQ(t.start, 0);
    EXPECT_EQ(t.columns.size(), 200u);
}

// A poll marks the view (and its pair, and index 30) when new samples arrived or the span changed.
TEST(WaveHistory, PollMarksViews) {
    TestOwner owner;
    SineHistory input;
    TestWave wave(owner, input.history.get(), 0.1f);
    input.feed(1000);
    wave.pollGraph(clientView, 0);  // first poll: the span is new
    EXPECT_EQ(wave.valueChanged.word(), (1u << 3) | (1u << 4) | (1u << 30));
    wave.valueChanged.clear(~0u);
    wave.pollGraph(clientView, 0);
    EXPECT_EQ(wave.valueChanged.word(), 0u);
    input.feed(10);
    wave.pollGraph(clientView, 0);
    EXPECT_EQ(wave.valueChanged.word(), (1u << 3) | (1u << 4) | (1u << 30));
}

// The follower's poll runs its master's first; the master marks it ready.
TEST(WaveHistory, FollowerIsPolledThroughItsMaster) {
    TestOwner owner;
    SineHistory input;
    TestWave master(owner, input.history.get(), 0.2f, INPUT_WAVE2);
    TestWave follower(owner, input.history.get(), 0.2f, INPUT_WAVE_DETILTED, &master);
    input.feed(1000);
    follower.pollGraph(clientView, 0);
    follower.valueChanged.clear(~0u);
    master.valueChanged.clear(~0u);
    input.feed(10);
    follower.pollGraph(clientView, 0);
    EXPECT_TRUE(master.valueChanged.test(clientView));
    EXPECT_TRUE(follower.valueChanged.test(clientView));
}

// A drawing whose wait for the view's lock runs out still draws, and leaves the lock to its
// holder: it releases only what it took.
TEST(WaveViewMutex, ReleasedOnlyWhenTaken) {
    TestOwner owner;
    DisplayCanvas canvas;
    SineHistory input;
    TestWave wave(owner, input.history.get(), 0.05f);
    wave.viewWait = std::chrono::milliseconds(0);
    input.reserve();
    input.feed(20000);

    std::mutex m;
    std::condition_variable cv;
    bool held = false, release = false;
    std::thread holder([&] {
        std::lock_guard own(wave.viewMutex(clientView));
        std::unique_lock lock(m);
        held = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return held; });
    }
    const Trace t = request(wave, &canvas, {100, 60}, true);
    EXPECT_EQ(t.columns.size(), 100u);
    EXPECT_NE(t.columns[50][2], 9999);  // drawn all the same
    EXPECT_FALSE(wave.viewMutex(clientView).try_lock());  // still the holder's
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    holder.join();

    request(wave, &canvas, {100, 60}, true);
    ASSERT_TRUE(wave.viewMutex(clientView).try_lock());  // taken and released by the drawing
    wave.viewMutex(clientView).unlock();
}

// Short spans of a fine-mode wave are redrawn whole; one column is drawn without dividing by zero.
TEST(WaveHistory, FineModeAndOneColumn) {
    TestOwner owner;
    DisplayCanvas canvas;
    SineHistory input;
    TestWave wave(owner, input.history.get(), 0.025f);
    input.reserve();
    input.feed(20000);
    EXPECT_TRUE(wave.isFineMode());
    request(wave, &canvas, {100, 60}, true);
    input.feed(4801);  // a whole new window: the poll marks it
    Trace t = request(wave, &canvas, {100, 60});
    EXPECT_EQ(t.columns.size(), 100u);
    EXPECT_TRUE(t.fine);
    EXPECT_EQ(t.start, 0);
    input.feed(100);
    t = request(wave, &canvas, {1, 60}, true);
    ASSERT_EQ(t.columns.size(), 1u);
    EXPECT_NE(t.columns[0][2], 9999);
}
