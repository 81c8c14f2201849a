#pragma once

#include "audio/CountingSemaphore.h"
#include "audio/SoundcardStreamControl.h"
#include "audio/soundcard/AudioCallbackProvider.h"
#include "audio/soundcard/DeviceSetup.h"

#include <portaudio.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class KestravaInstanceConfig;

namespace kestrava::audio::soundcard {

class PortaudioWrapper;

// One audio-library input stream kept alive by a worker thread of its own: the worker opens the
// device (one 32-bit float channel at the instance's rate), retries a failing open up to four
// times, then re-initialises the library (or, in the exit failure mode, asks the controller to
// stop), and reopens the device when the library finishes the stream or when no callback has come
// for longer than the watchdog limit while a stream is open. Every library call goes through the
// wrapper. Shared between threads: the atomics and the wake-up semaphore only.
//
// A subclass that takes the samples in onAudio must call stop() in its own destructor, so that no
// callback reaches it while its members are being destroyed.
class PortAudioSoundcardStream : public AudioCallbackProvider, public kestrava::audio::SoundcardStreamControl {
public:
    PortAudioSoundcardStream(KestravaInstanceConfig& config, PortaudioWrapper& wrapper, std::int32_t deviceIndex,
                             const SteadyClock& clock = realSteadyClock());
    ~PortAudioSoundcardStream() override;

    // Starts (or restarts: a started stream is stopped first) the worker. Not on the worker or in
    // a callback.
    void start() override;
    // Ends the worker, which stops and closes the library stream, and joins it. When it returns,
    // no callback of this stream arrives any more. Not on the worker or in a callback.
    void stop() override;

    // The controller's device change: the worker wakes at once, closes the old device and opens
    // the new one, counting attempts from 1. (A worker that ended on its own is started again by
    // the caller, when the stream is active.)
    void requestDevice(std::int32_t deviceIndex) override;
    bool isActive() const override { return active; }
    bool workerRunning() const override { return running.load(); }
    void setExitOnOpenFailure(bool exit) { exitOnOpenFailure.store(exit); }
    // What the exit failure mode calls on the worker (the encoder controller's stop request).
    // Set before start().
    void setStopRequester(std::function<void()> requester) { stopRequester = std::move(requester); }

    // The library's callback thread: one block of interleaved frames. The base stamps the time,
    // reports the status bits and continues while running.
    virtual int onAudio(const float* input, float* output, std::uint32_t frameCount,
                        const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags statusFlags);
    // The library has finished the stream (any thread, the wrapper's included): no library call.
    virtual void onStreamFinished();

    static int paCallback(const void* input, void* output, unsigned long frameCount,
                          const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags statusFlags,
                          void* userData);
    static void paFinishedCallback(void* userData);

    bool isRunning() const { return running.load(); }
    std::int32_t currentDeviceIndex() const { return deviceIndex.load(); }
    // Completed passes of the worker loop (for observing the worker).
    std::uint64_t workerPasses() const { return passes.load(); }

    std::int32_t direction = 1;        // 0 output only, 1 input only, 2 both; set before start()
    double suggestedLatency = -1.0;    // seconds; 0 or less: the device's default high latency

protected:
    // Logs one warning per status bit (input overflow, input underflow, output overflow, output
    // underflow, in this order) and marks the block.
    void reportStatusBits(PaStreamCallbackFlags statusFlags, const PaStreamCallbackTimeInfo* timeInfo);

    KestravaInstanceConfig& config;
    PortaudioWrapper& wrapper;

private:
    void run();
    bool openStream();
    void closeStream();
    DeviceSetup prepareDevice(std::int32_t index);
    void reinitializeLibrary();
    void watchdog();

    std::atomic<bool> running{false};
    std::atomic<bool> reopenRequested{true};
    std::atomic<std::int32_t> openAttempts{0};
    std::atomic<std::int32_t> deviceIndex;
    std::atomic<bool> exitOnOpenFailure{false};
    std::atomic<bool> deviceKeyStale{true};
    std::atomic<std::uint64_t> passes{0};
    kestrava::audio::CountingSemaphore wakeup;
    std::unique_ptr<std::thread> worker;
    std::function<void()> stopRequester;

    // The worker's own.
    PaStream* stream = nullptr;
    bool streamStarted = false;
    std::string deviceKey;             // "{} ({})" of the device last prepared, to find it again
    std::int64_t watchdogArmedNs = 0;
    bool outageReported = false;
    std::int64_t outageReportedNs = 0;
};

}  // namespace kestrava::audio::soundcard
