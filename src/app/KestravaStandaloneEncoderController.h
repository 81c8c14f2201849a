#pragma once

#include "app/AudioSourceControl.h"
#include "app/EngineParts.h"
#include "app/RequestSemaphore.h"
#include "app/SenderControl.h"
#include "platform/AlignedNew.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

class KestravaInstanceConfig;

// The encoder controller of an instance: it owns the transport sender and the audio source
// and turns the requested encoder state into starting and stopping that source. Its thread
// waits for state requests and calls enable or disable only when the state changes.
class KestravaStandaloneEncoderController : public kestrava::AlignedNew {
public:
    KestravaStandaloneEncoderController(KestravaInstanceConfig& config, const EngineParts& parts);
    virtual ~KestravaStandaloneEncoderController();

    KestravaStandaloneEncoderController(const KestravaStandaloneEncoderController&) = delete;
    KestravaStandaloneEncoderController& operator=(const KestravaStandaloneEncoderController&) = delete;

    // Starts the controller thread at the configured priority (once per controller).
    void startThread();
    // Asks the thread to end and returns at once; a second call does nothing.
    void requestStop();
    // Waits for the thread to end; returns at once without a started thread.
    void joinThread();

    // Owner's side: writes the requested state, then counts one request.
    void postState(bool enable);

    // Selects the sound card: the first call makes the sound-card source, later calls reopen it.
    void setSoundcard(std::int32_t index);
    virtual void setSoundcardFailureMode(std::uint8_t mode);
    virtual void enable();
    virtual void disable();

    SenderControl* sender() const { return sender_.get(); }
    bool hasSource() const { return source != nullptr; }

private:
    void run();
    void reportSystemInfo();

    KestravaInstanceConfig& config;
    const EngineParts& parts;
    std::atomic<bool> enabled{false};
    RequestSemaphore requests;
    std::atomic<bool> running{false};
    std::thread thread;
    std::unique_ptr<SenderControl> sender_;
    std::unique_ptr<AudioSourceControl> source;
    bool fftPlansHeld = false;
};
