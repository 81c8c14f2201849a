#include "app/KestravaStandaloneEncoderController.h"

#include "platform/CpuFeatures.h"
#include "platform/ProgramVersion.h"
#include "app/SharedFftPlans.h"
#include "logging/KestravaInstanceConfig.h"
#include "platform/ThreadSetup.h"

#include <cstdlib>
#include <ctime>
#include <system_error>

KestravaStandaloneEncoderController::KestravaStandaloneEncoderController(KestravaInstanceConfig& config_,
                                                                         const EngineParts& parts_)
    : config(config_), parts(parts_) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    config.controller = this;
    config.logger.log(1, KestravaLogger::Info, "Starting Kestrava {} / build {}, sample rate {} Hz",
                      ProgramVersion::shortVersion(), ProgramVersion::buildIdentifier(), config.sampleRate);
    SharedFftPlans::acquire();
    fftPlansHeld = true;
    reportSystemInfo();
    sender_ = parts.makeSender(config);
}

KestravaStandaloneEncoderController::~KestravaStandaloneEncoderController() {
    // The thread must not call enable or disable on a source that is going away.
    requestStop();
    joinThread();
    if (source) {
        source->stop();
        source.reset();
    }
    sender_.reset();
    if (fftPlansHeld) SharedFftPlans::release();
    KestravaStandaloneEncoderController* self = this;
    config.controller.compare_exchange_strong(self, nullptr);
}

void KestravaStandaloneEncoderController::reportSystemInfo() {
    // The processor is probed once, here, before any coder picks its routines.
    kestrava::cpuFeatures();
}

void KestravaStandaloneEncoderController::startThread() {
    if (thread.joinable()) return;
    running = true;
    kestrava::ThreadOptions options;
    options.name = "controller";
    options.priority = config.engine.threadPriority;
    options.affinityMask = config.affinityMask;
    thread = kestrava::startThread(std::move(options), [this] { run(); });
}

void KestravaStandaloneEncoderController::requestStop() {
    if (!running.exchange(false)) return;
    requests.release(1);
}

void KestravaStandaloneEncoderController::joinThread() {
    if (!thread.joinable()) return;
    try {
        thread.join();
    } catch (const std::system_error& e) {
        config.logger.log(1, KestravaLogger::Warning, "Failed to join thread: {}", e.what());
    }
}

void KestravaStandaloneEncoderController::postState(bool enable) {
    enabled = enable;
    requests.release(1);
}

void KestravaStandaloneEncoderController::run() {
    bool lastEnabled = false;
    while (running) {
        if (!requests.acquire()) return;
        if (!running) return;
        const bool wanted = enabled;
        if (wanted && !lastEnabled) {
            enable();
        } else if (!wanted && lastEnabled) {
            disable();
        }
        lastEnabled = wanted;
    }
}

void KestravaStandaloneEncoderController::setSoundcard(std::int32_t index) {
    if (!source) {
        source = parts.makeSoundcardSource(*sender_, index, config);
        return;
    }
    if (!source->isSoundcardSource()) {
        config.logger.log(1, KestravaLogger::Critical,
                          "Attempt to change audio source mode not allowed for soundcard audio source");
        return;
    }
    config.logger.log(1, KestravaLogger::Info, "Changing soundcard to index {}", index);
    source->changeSoundcard(index);
}

void KestravaStandaloneEncoderController::setSoundcardFailureMode(std::uint8_t mode) {
    if (source && source->isSoundcardSource()) {
        source->setFailureMode(mode);
        return;
    }
    config.logger.log(1, KestravaLogger::Critical,
                      "Attempt to change soundcard failure mode without setting source mode!");
}

void KestravaStandaloneEncoderController::enable() {
    if (!source) {
        config.logger.log(1, KestravaLogger::Critical, "Attempt to enable Kestrava without setting source mode!");
        return;
    }
    source->start();
}

void KestravaStandaloneEncoderController::disable() {
    if (source) source->stop();
}
