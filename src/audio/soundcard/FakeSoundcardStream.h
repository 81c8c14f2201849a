#pragma once

#include "audio/soundcard/PacingClock.h"

#include <portaudio.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace KestravaLogger {
class Logger;
}

namespace kestrava::audio::soundcard {

// Fills a block with composite samples; empty means silence. Runs on the fake card's worker.
using CompositeSignal = std::function<void(float* samples, std::uint32_t count)>;

// One stream of the fake sound card: a worker thread of its own hands blocks of 1024 frames to the
// stream callback at the nominal rate, paced against the clock on an absolute schedule (a late
// wake-up shortens the next sleep; a worker behind schedule delivers back to back). A callback
// that answers other than paContinue ends the stream, which then reports itself finished.
class FakeSoundcardStream {
public:
    static constexpr std::uint32_t blockFrames = 1024;

    FakeSoundcardStream(KestravaLogger::Logger* logger, double sampleRate, PaStreamCallback* callback, void* userData,
                        CompositeSignal signal, PacingClock& clock);
    ~FakeSoundcardStream();
    FakeSoundcardStream(const FakeSoundcardStream&) = delete;
    FakeSoundcardStream& operator=(const FakeSoundcardStream&) = delete;

    // Starts the worker when there is none (a second start changes nothing).
    void start();
    // Ends and joins the worker; not from the callback. True when the worker had been running.
    bool stop();
    void setFinishedCallback(PaStreamFinishedCallback* callback) { finishedCallback = callback; }
    bool isActive() const { return running.load(); }

private:
    void run();

    KestravaLogger::Logger* logger;
    const double sampleRate;
    PaStreamCallback* callback;
    void* userData;
    CompositeSignal signal;
    PacingClock& clock;
    PaStreamFinishedCallback* finishedCallback = nullptr;
    std::atomic<bool> running{false};
    std::unique_ptr<std::thread> worker;
};

}  // namespace kestrava::audio::soundcard
