#include "app/KestravaStandaloneEncoderController.h"
#include "app/SharedFftPlans.h"
#include "platform/RealFft.h"
#include "FakeEngineParts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

struct ControllerFixture : testing::Test {
    FakeEngine engine;
    EngineParts parts = engine.parts();
    KestravaInstanceConfig config{192000, 2040};
    std::unique_ptr<KestravaStandaloneEncoderController> controller;

    void SetUp() override {
        parts.wireLogging(config, InstancePaths{});
        controller.reset(new KestravaStandaloneEncoderController(config, parts));
        ASSERT_NE(controller, nullptr);
    }
    // Ends the thread so that every request it was given has been acted on.
    void finish() {
        controller->requestStop();
        controller->joinThread();
    }
    long logged(const std::string& text) {
        config.logger.stop();
        const auto lines = engine.log->snapshot();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
};

TEST_F(ControllerFixture, OnlyAChangeOfTheRequestedStateStartsOrStopsTheSource) {
    controller->setSoundcard(2);
    controller->postState(true);
    controller->postState(true);
    controller->startThread();
    ASSERT_TRUE(engine.waitForCalls(1));
    controller->postState(false);
    ASSERT_TRUE(engine.waitForCalls(2));
    controller->postState(false);
    finish();
    EXPECT_EQ(engine.starts, 1);
    EXPECT_EQ(engine.stops, 1);
    EXPECT_EQ(config.controller.load(), controller.get());
}

TEST_F(ControllerFixture, RequestsPostedBeforeTheThreadWakesEndInTheLastState) {
    controller->setSoundcard(0);
    controller->postState(true);
    controller->postState(false);
    controller->startThread();
    finish();
    EXPECT_EQ(engine.starts, 0);
    EXPECT_EQ(engine.stops, 0);
}

TEST_F(ControllerFixture, EnablingWithoutASourceIsReportedAndDisablingThenDoesNothing) {
    controller->startThread();
    controller->postState(true);
    ASSERT_TRUE(engine.log->waitForCount(2));  // the start-up line, then the complaint
    controller->postState(false);
    finish();
    EXPECT_EQ(logged("Attempt to enable Kestrava without setting source mode!"), 1);
}

TEST_F(ControllerFixture, SelectingAnotherSoundcardReopensTheSameSource) {
    controller->setSoundcard(1);
    controller->setSoundcard(4);
    EXPECT_EQ(engine.soundcards, (std::vector<std::int32_t>{1, 4}));
    EXPECT_EQ(logged("Changing soundcard to index 4"), 1);
}

TEST_F(ControllerFixture, StopAndJoinAreSafeInAnyOrder) {
    controller->requestStop();  // before the thread: nothing
    controller->joinThread();   // no thread: returns at once
    controller->startThread();
    controller->requestStop();
    controller->requestStop();
    controller->joinThread();
    controller->joinThread();
    controller->postState(true);  // counted, never acted on
    EXPECT_EQ(engine.starts, 0);
}

TEST_F(ControllerFixture, TheFirstControllerMakesTheSharedPlansForEveryOrder) {
    for (int order = kestrava::RealFft::minOrder; order <= kestrava::RealFft::maxOrder; ++order) {
        EXPECT_TRUE(kestrava::RealFft::hasPlan(order)) << order;
    }
    const int before = SharedFftPlans::liveControllerCount();
    {
        KestravaStandaloneEncoderController second(config, parts);
        EXPECT_EQ(SharedFftPlans::liveControllerCount(), before + 1);
    }
    EXPECT_EQ(SharedFftPlans::liveControllerCount(), before);
    controller.reset();
    EXPECT_EQ(SharedFftPlans::liveControllerCount(), before - 1);
}

}  // namespace
