#include "StreamFixture.h"

#include <atomic>

TEST_F(StreamFixture, FourFailedAttemptsReinitialiseTheLibraryAndANewSeriesSucceeds) {
    backend->failOpens(4);
    makeStream(1);
    stream->start();
    ASSERT_TRUE(log->waitFor("Successfully opened sound card"));
    EXPECT_EQ(log->matching({"Failed to open soundcard -", "Failed to open soundcard after", "Attempting", "Successfully"}),
              (std::vector<std::string>{"Failed to open soundcard - attempt #1", "Failed to open soundcard - attempt #2",
                                        "Failed to open soundcard - attempt #3", "Failed to open soundcard - attempt #4",
                                        "Failed to open soundcard after 4 attempts",
                                        "Attempting to re-initialize soundcards", "Successfully opened sound card"}));
    EXPECT_EQ(statusCount("Failed to open soundcard after 4 attempts", StatusWarning), 1);
    EXPECT_EQ(statusCount("Attempting to re-initialize soundcards", StatusInfo), 1);
    // No stream was open, so the library really started afresh: terminated, then initialised.
    EXPECT_EQ(backend->terminateCalls(), 1);
    EXPECT_EQ(backend->initializeCalls(), 2);
    EXPECT_EQ(backend->openCalls(), 5);
    stream->stop();
    EXPECT_TRUE(log->waitFor("Soundcard callback loop stopped"));
    expectAllCallsOnWrapperThread();
}

TEST_F(StreamFixture, ThirdAttemptSuccessIsReportedWithItsCount) {
    backend->failOpens(2);
    makeStream(0);
    stream->start();
    ASSERT_TRUE(log->waitFor("Successfully opened sound card in 3 attempts"));
    EXPECT_EQ(backend->initializeCalls(), 1);
}

TEST_F(StreamFixture, ExitFailureModeStopsTheControllerInsteadOfReinitialising) {
    std::atomic<int> stopRequests{0};
    backend->failOpens(1000);
    makeStream(0);
    stream->setExitOnOpenFailure(true);
    stream->setStopRequester([&] { stopRequests.fetch_add(1); });
    stream->start();
    ASSERT_TRUE(log->waitFor("Soundcard callback loop stopped"));
    EXPECT_EQ(stopRequests.load(), 1);
    EXPECT_FALSE(stream->isRunning());
    EXPECT_EQ(log->count("Exiting Kestrava because soundcard failed to open..."), 1);
    EXPECT_EQ(log->count("Attempting to re-initialize"), 0);
    EXPECT_EQ(backend->initializeCalls(), 1);
    // A device change starts the ended worker again.
    backend->failOpens(0);
    stream->setExitOnOpenFailure(false);
    stream->requestDevice(1);
    ASSERT_TRUE(stream->isActive());
    ASSERT_FALSE(stream->workerRunning());
    stream->start();
    EXPECT_TRUE(log->waitFor("Opening input device #1 (\"Card B\" @ ALSA)"));
}

TEST_F(StreamFixture, WatchdogReopensSilentStreamsOnceAStatusPerOutage) {
    makeStream(0);
    stream->start();
    ASSERT_TRUE(waitUntil([&] { return backend->hasStartedStream(); }));
    // Callbacks 4.9 s apart never trip it.
    for (int i = 0; i < 3; ++i) {
        clock.advanceSeconds(4.9);
        ASSERT_EQ(backend->fire(64), paContinue);
        waitPasses();
    }
    EXPECT_EQ(backend->openCalls(), 1);
    EXPECT_EQ(statusCount("Audio callback watchdog timeout", StatusWarning), 0);

    clock.advanceSeconds(5.5);
    ASSERT_TRUE(waitUntil([&] { return backend->openCalls() == 2 && backend->hasStartedStream(); }));
    EXPECT_EQ(statusCount("Audio callback watchdog timeout. No data flow detected for 5.5 seconds.", StatusWarning), 1);

    // Still silent after the reopen: reopened again, but the same outage gives no second status.
    clock.advanceSeconds(5.5);
    ASSERT_TRUE(waitUntil([&] { return backend->openCalls() == 3 && backend->hasStartedStream(); }));
    waitPasses();
    EXPECT_EQ(statusCount("Audio callback watchdog timeout", StatusWarning), 1);

    // Data flowed again; the next outage is reported.
    ASSERT_EQ(backend->fire(64), paContinue);
    waitPasses();
    clock.advanceSeconds(5.5);
    ASSERT_TRUE(waitUntil([&] { return backend->openCalls() == 4; }));
    waitPasses();
    EXPECT_EQ(statusCount("Audio callback watchdog timeout", StatusWarning), 2);
    expectAllCallsOnWrapperThread();
}

TEST_F(StreamFixture, NoWatchdogWhileNoStreamIsOpen) {
    backend->failOpens(1000);
    makeStream(0);
    stream->start();
    ASSERT_TRUE(log->waitFor("Failed to open soundcard - attempt #2"));
    clock.advanceSeconds(60.0);
    ASSERT_TRUE(log->waitFor("Failed to open soundcard - attempt #4"));
    waitPasses();
    EXPECT_EQ(log->count("Audio callback watchdog timeout"), 0);
}

TEST_F(StreamFixture, FinishedStreamIsReopened) {
    makeStream(0);
    stream->start();
    ASSERT_TRUE(waitUntil([&] { return backend->hasStartedStream(); }));
    backend->finish();
    ASSERT_TRUE(waitUntil([&] { return backend->openCalls() == 2 && backend->hasStartedStream(); }));
    EXPECT_TRUE(log->waitFor("Soundcard callback stopped"));
}

TEST_F(StreamFixture, DeviceChangeReopensAtOnce) {
    config.values.streamWaitSeconds = 60.0f;  // only a wake-up can make the worker act in time
    makeStream(0);
    stream->start();
    ASSERT_TRUE(waitUntil([&] { return backend->hasStartedStream(); }));
    stream->requestDevice(1);
    ASSERT_TRUE(log->waitFor("Opening input device #1 (\"Card B\" @ ALSA)"));
    EXPECT_EQ(backend->openCalls(), 2);
    EXPECT_TRUE(stream->workerRunning());
    stream->stop();  // wakes the waiting worker at once
    EXPECT_FALSE(stream->isRunning());
}

TEST_F(StreamFixture, DeviceIsFoundAgainByItsKeyAfterTheSetChanged) {
    makeStream(1);
    stream->start();
    ASSERT_TRUE(waitUntil([&] { return backend->hasStartedStream(); }));
    // Card A goes away; Card B moves to index 0 once the library looks again.
    backend->replaceDevicesAtNextInitialization({{"Card B", 0, 2, 0, true, false}, {"Jack in", 1, 2, 0, true, false}});
    backend->failOpens(4);
    backend->finish();
    ASSERT_TRUE(log->waitFor("Opening input device #0 (\"Card B\" @ ALSA)"));
    EXPECT_EQ(stream->currentDeviceIndex(), 0);
    EXPECT_EQ(log->count("Sound card \"Card B (ALSA)\" is now device #0"), 1);
}

TEST_F(StreamFixture, UnknownDeviceFailsWithoutOpening) {
    makeStream(7);
    stream->start();
    ASSERT_TRUE(log->waitFor("Failed to open soundcard - attempt #2"));
    stream->stop();
    EXPECT_EQ(backend->openCalls(), 0);
    EXPECT_GE(log->count("Invalid device index for input: 7"), 2);
    EXPECT_GE(statusCount("Invalid sound device requested - device not found", StatusError), 2);
}

TEST_F(StreamFixture, StartFailureIsClosedByTheNextAttempt) {
    backend->failStarts(1);
    backend->refuseFinishedCallback(true);
    makeStream(0);
    stream->start();
    ASSERT_TRUE(log->waitFor("Successfully opened sound card in 2 attempts"));
    EXPECT_EQ(log->count("Failed to start soundcard stream: "), 1);
    EXPECT_EQ(statusCount("Failed to start soundcard stream", StatusError), 1);
    EXPECT_GE(log->count("Failed to register stream finished callback: "), 1);
    EXPECT_GE(backend->closeCalls(), 1);
    EXPECT_TRUE(backend->hasStartedStream());
}

TEST_F(StreamFixture, BufferSizeAndLatencyFollowTheHostApi) {
    const struct {
        int device;
        unsigned long framesPerBuffer;
    } cases[] = {{0, 4096}, {2, paFramesPerBufferUnspecified}};
    for (const auto& c : cases) {
        makeStream(c.device);
        stream->start();
        ASSERT_TRUE(waitUntil([&] { return backend->hasStartedStream(); }));
        EXPECT_EQ(backend->lastFramesPerBuffer(), c.framesPerBuffer) << c.device;
        EXPECT_EQ(backend->lastLatency(), 0.25) << "the device's default high input latency";
        stream.reset();
        EXPECT_FALSE(backend->hasStartedStream());
    }
}

TEST_F(StreamFixture, StopAndStartReopensOnTheNewWorker) {
    makeStream(0);
    stream->start();
    ASSERT_TRUE(waitUntil([&] { return backend->hasStartedStream(); }));
    stream->stop();
    EXPECT_FALSE(backend->hasStartedStream());
    EXPECT_EQ(backend->fire(16), -1) << "no callback after stop";
    stream->start();
    ASSERT_TRUE(waitUntil([&] { return backend->openCalls() == 2 && backend->hasStartedStream(); }));
    // The base callback continues while running and completes once stopped.
    EXPECT_EQ(backend->fire(16), paContinue);
}
