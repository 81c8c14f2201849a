#include "audio/soundcard/PortAudioSoundcardStream.h"

#include "audio/soundcard/PortaudioWrapper.h"
#include "logging/KestravaInstanceConfig.h"
#include "platform/ThreadSetup.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace kestrava::audio::soundcard {

using namespace KestravaLogger;

namespace {

constexpr std::int32_t attemptsPerSeries = 4;
constexpr unsigned long alsaFramesPerBuffer = 4096;

}  // namespace

PortAudioSoundcardStream::PortAudioSoundcardStream(KestravaInstanceConfig& config_, PortaudioWrapper& wrapper_,
                                                   std::int32_t deviceIndex_, const SteadyClock& clock_)
    : AudioCallbackProvider(clock_, 1, static_cast<std::uint32_t>(config_.sampleRate)),
      config(config_),
      wrapper(wrapper_),
      deviceIndex(deviceIndex_) {}

PortAudioSoundcardStream::~PortAudioSoundcardStream() {
    if (active || worker) stop();
}

void PortAudioSoundcardStream::start() {
    if (active || worker) stop();
    openAttempts.store(0);
    running.store(true);
    active = true;
    kestrava::ThreadOptions options;
    options.name = "Soundcard";
    options.priority = config.engine.threadPriority.load();
    options.affinityMask = config.affinityMask;
    worker = std::make_unique<std::thread>(kestrava::startThread(std::move(options), [this] { run(); }));
}

void PortAudioSoundcardStream::stop() {
    active = false;
    running.store(false);
    wakeup.release(1);
    if (!worker) return;
    try {
        worker->join();
    } catch (const std::system_error& e) {
        logWarning(config.logger, 1, "Failed to join thread: {}", e.what());
        if (worker->joinable()) worker->detach();
    }
    worker.reset();
}

void PortAudioSoundcardStream::requestDevice(std::int32_t index) {
    deviceIndex.store(index);
    deviceKeyStale.store(true);
    openAttempts.store(0);
    reopenRequested.store(true);
    wakeup.release(1);
}

void PortAudioSoundcardStream::run() {
    if (running.load()) {
        wakeup.clearCount();
        while (true) {
            if (reopenRequested.load() && openAttempts.load() < attemptsPerSeries) {
                closeStream();
                const std::int32_t attempt = openAttempts.fetch_add(1) + 1;
                // Cleared before the open, not after it: a device change or a finished report
                // that arrives while the device opens asks for one more open and is not lost.
                reopenRequested.store(false);
                if (!openStream()) {
                    reopenRequested.store(true);
                    config.logger.log(1, Warning, "Failed to open soundcard - attempt #{}", attempt);
                }
            } else if (reopenRequested.load()) {
                const std::int32_t attempts = openAttempts.load();
                config.statusMessages.postTimedStatusMessage(StatusWarning, 0,
                                                             "Failed to open soundcard after {} attempts", attempts);
                config.logger.log(1, Critical, "Failed to open soundcard after {} attempts", attempts);
                if (exitOnOpenFailure.load()) {
                    config.logger.log(1, Critical, "Exiting Kestrava because soundcard failed to open...");
                    if (stopRequester) stopRequester();
                    running.store(false);
                    break;
                }
                reinitializeLibrary();
                openAttempts.store(0);
            } else if (openAttempts.load() >= 1) {
                const std::int32_t attempts = openAttempts.load();
                if (attempts == 1) {
                    config.logger.log(1, Info, "Successfully opened sound card");
                } else {
                    config.logger.log(1, Info, "Successfully opened sound card in {} attempts", attempts);
                }
                openAttempts.store(0);
            }
            if (!running.load()) break;
            wakeup.waitAndClear(config.values.streamWaitSeconds.load());
            if (!running.load()) break;
            watchdog();
            passes.fetch_add(1);
        }
    }
    if (stream != nullptr) {
        const PaError result = wrapper.stopStream(stream);
        if (result != paNoError) {
            config.logger.log(1, Warning, "Failed to stop portaudio stream: {}", wrapper.errorText(result));
        }
    }
    closeStream();
    running.store(false);
    config.logger.log(1, Info, "Soundcard callback loop stopped");
    passes.fetch_add(1);
}

void PortAudioSoundcardStream::reinitializeLibrary() {
    config.statusMessages.postStatusText(StatusInfo, "Attempting to re-initialize soundcards");
    config.logger.log(1, Info, "Attempting to re-initialize soundcards");
    // No stream of ours may stay open, or the library cannot really start afresh.
    closeStream();
    wrapper.reinitialize();
    // Device indexes may have moved: find the device again by its name and host API.
    if (deviceKey.empty() || deviceKeyStale.load()) return;
    std::int32_t expected = deviceIndex.load();
    const PaDeviceIndex found = wrapper.findDeviceByKey(deviceKey);
    if (found >= 0 && found != expected && deviceIndex.compare_exchange_strong(expected, found)) {
        config.logger.log(1, Info, "Sound card \"{}\" is now device #{}", deviceKey, found);
    }
}

void PortAudioSoundcardStream::watchdog() {
    // Only an open, started stream is watched: a device that cannot be opened is the open
    // attempts' business, not a data-flow outage.
    if (stream == nullptr || !streamStarted) return;
    const std::int64_t last = lastCallbackNs.load();
    if (outageReported && last > outageReportedNs) outageReported = false;
    const std::int64_t now = clock.nowNs();
    const double elapsed = static_cast<double>(now - std::max(last, watchdogArmedNs)) / 1e9;
    if (!(elapsed > static_cast<double>(config.values.watchdogSeconds.load()))) return;
    if (!outageReported) {
        config.statusMessages.postTimedStatusMessage(
            StatusWarning, 0, "Audio callback watchdog timeout. No data flow detected for {} seconds.", elapsed);
        config.logger.log(1, Critical, "Audio callback watchdog timeout. No data flow detected for {} seconds.",
                          elapsed);
        outageReported = true;
        outageReportedNs = now;
    }
    reopenRequested.store(true);
}

DeviceSetup PortAudioSoundcardStream::prepareDevice(std::int32_t index) {
    DeviceSetup setup;
    setup.device = wrapper.getDeviceInfo(index);
    if (setup.device == nullptr) {
        config.statusMessages.postStatusText(StatusError, "Invalid sound device requested - device not found");
        config.logger.log(1, Error, "Invalid sound device requested - device not found");
        config.logger.log(1, Critical, "Invalid device index for {}: {}", direction == 1 ? "input" : "output", index);
        return setup;
    }
    setup.hostApi = wrapper.getHostApiInfo(setup.device->hostApi);
    if (setup.hostApi == nullptr) {
        config.statusMessages.postStatusText(StatusError, "Invalid sound device requested - unknown host API");
        config.logger.log(1, Error, "Invalid sound device requested - unknown host API");
        config.logger.log(1, Critical, "Invalid host api for device #{}", index);
        return setup;
    }
    double latency = suggestedLatency;
    if (!(latency > 0.0)) {
        latency = direction != 0 ? setup.device->defaultHighInputLatency : setup.device->defaultHighOutputLatency;
    }
    setup.parameters.device = index;
    setup.parameters.channelCount = channelCount;
    setup.parameters.sampleFormat = paFloat32;
    setup.parameters.suggestedLatency = latency;
    setup.parameters.hostApiSpecificStreamInfo = nullptr;
    if (deviceKeyStale.exchange(false) || deviceKey.empty()) {
        deviceKey = PortaudioWrapper::deviceKey(*setup.device, *setup.hostApi);
    }
    setup.valid = true;
    return setup;
}

bool PortAudioSoundcardStream::openStream() {
    const std::int32_t index = deviceIndex.load();
    DeviceSetup input;
    DeviceSetup output;
    if (direction == 1 || direction == 2) {
        input = prepareDevice(index);
        if (!input.valid) return false;
        config.logger.log(1, Info, "Opening input device #{} (\"{}\" @ {})", index, input.device->name,
                          input.hostApi->name);
    }
    if (direction == 0 || direction == 2) {
        output = prepareDevice(index);
        if (!output.valid) return false;
        config.logger.log(1, Info, "Opening output device #{} (\"{}\" @ {})", index, output.device->name,
                          output.hostApi->name);
    }
    const bool alsa = (input.valid && input.hostApi->type == paALSA) || (output.valid && output.hostApi->type == paALSA);
    const PaError result = wrapper.openStream(&stream, input.valid ? &input.parameters : nullptr,
                                              output.valid ? &output.parameters : nullptr,
                                              static_cast<double>(sampleRate),
                                              alsa ? alsaFramesPerBuffer : paFramesPerBufferUnspecified, paNoFlag,
                                              &PortAudioSoundcardStream::paCallback, this);
    if (result != paNoError) {
        const char* text = wrapper.errorText(result);
        config.statusMessages.postTimedStatusMessage(StatusWarning, 0, "Failed to open soundcard stream: {}", text);
        config.logger.log(1, Critical, "Failed to open soundcard stream: {}", text);
        stream = nullptr;
        return false;
    }
    const PaError finished = wrapper.setStreamFinishedCallback(stream, &PortAudioSoundcardStream::paFinishedCallback);
    if (finished != paNoError) {
        const char* setupText =
            "Failed to correctly setup soundcard connection, soundcard handling may not work as expected";
        config.statusMessages.postStatusText(StatusNotice, setupText);
        config.logger.log(1, Warning, std::string_view(setupText));
        config.logger.log(1, Warning, "Failed to register stream finished callback: {}", wrapper.errorText(finished));
    }
    firstCallbackPending.store(true);
    // The watchdog counts from the start of this stream, not from the last callback of the one before.
    watchdogArmedNs = clock.nowNs();
    const PaError started = wrapper.startStream(stream);
    if (started != paNoError) {
        const char* text = wrapper.errorText(started);
        config.statusMessages.postTimedStatusMessage(StatusError, 0, "Failed to start soundcard stream: {}", text);
        config.logger.log(1, Error, "Failed to start soundcard stream: {}", text);
        return false;
    }
    streamStarted = true;
    return true;
}

void PortAudioSoundcardStream::closeStream() {
    if (stream == nullptr) return;
    config.logger.log(1, Info, "Closing soundcard stream...");
    const PaError result = wrapper.closeStream(stream);
    if (result != paNoError) {
        config.logger.log(1, Error, "Failed to close soundcard output stream: {}", wrapper.errorText(result));
    }
    stream = nullptr;
    streamStarted = false;
}

void PortAudioSoundcardStream::reportStatusBits(PaStreamCallbackFlags statusFlags,
                                                const PaStreamCallbackTimeInfo* timeInfo) {
    if (statusFlags == 0) return;
    const double now = timeInfo != nullptr ? timeInfo->currentTime : 0.0;
    if (statusFlags & paInputOverflow) config.logger.log(1, Warning, "Soundcard input overflow detected @ {}", now);
    if (statusFlags & paInputUnderflow) config.logger.log(1, Warning, "Soundcard input underflow detected @ {}", now);
    if (statusFlags & paOutputOverflow) config.logger.log(1, Warning, "Soundcard output overflow detected @ {}", now);
    if (statusFlags & paOutputUnderflow) {
        config.logger.log(1, Warning, "Soundcard output underflow detected @ {}", now);
    }
    if (statusFlags & (paInputOverflow | paInputUnderflow | paOutputOverflow | paOutputUnderflow)) {
        statusError.store(true, std::memory_order_relaxed);
    }
}

int PortAudioSoundcardStream::onAudio(const float*, float*, std::uint32_t, const PaStreamCallbackTimeInfo* timeInfo,
                                      PaStreamCallbackFlags statusFlags) {
    deliver();
    reportStatusBits(statusFlags, timeInfo);
    return running.load() ? paContinue : paComplete;
}

void PortAudioSoundcardStream::onStreamFinished() {
    config.logger.log(1, Warning, "Soundcard callback stopped");
    reopenRequested.store(true);
}

int PortAudioSoundcardStream::paCallback(const void* input, void* output, unsigned long frameCount,
                                         const PaStreamCallbackTimeInfo* timeInfo,
                                         PaStreamCallbackFlags statusFlags, void* userData) {
    return static_cast<PortAudioSoundcardStream*>(userData)->onAudio(
        static_cast<const float*>(input), static_cast<float*>(output), static_cast<std::uint32_t>(frameCount),
        timeInfo, statusFlags);
}

void PortAudioSoundcardStream::paFinishedCallback(void* userData) {
    static_cast<PortAudioSoundcardStream*>(userData)->onStreamFinished();
}

}  // namespace kestrava::audio::soundcard
