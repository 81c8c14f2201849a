#include "ScriptedAudioBackend.h"

#include <algorithm>
#include <utility>

ScriptedAudioBackend::ScriptedAudioBackend(std::vector<HostApi> hostApis_, std::vector<Device> devices_)
    : hostApis(std::move(hostApis_)), devices(std::move(devices_)) {
    rebuildRecords();
}

void ScriptedAudioBackend::rebuildRecords() {
    hostApiRecords.clear();
    for (const auto& h : hostApis) {
        PaHostApiInfo info{};
        info.structVersion = 1;
        info.type = h.type;
        info.name = h.name.c_str();
        hostApiRecords.push_back(info);
    }
    deviceRecords.clear();
    for (const auto& d : devices) {
        PaDeviceInfo info{};
        info.structVersion = 2;
        info.name = d.name.c_str();
        info.hostApi = d.hostApi;
        info.maxInputChannels = d.maxInputChannels;
        info.maxOutputChannels = d.maxOutputChannels;
        info.defaultHighInputLatency = 0.25;
        info.defaultHighOutputLatency = 0.5;
        info.defaultSampleRate = 48000.0;
        deviceRecords.push_back(info);
    }
}

void ScriptedAudioBackend::record() { threads.push_back(std::this_thread::get_id()); }

void ScriptedAudioBackend::failInitializations(int n) {
    std::lock_guard lock(mutex);
    initFailures = n;
}
void ScriptedAudioBackend::failOpens(int n) {
    std::lock_guard lock(mutex);
    openFailures = n;
}
void ScriptedAudioBackend::failStarts(int n) {
    std::lock_guard lock(mutex);
    startFailures = n;
}
void ScriptedAudioBackend::refuseFinishedCallback(bool refuse) {
    std::lock_guard lock(mutex);
    refuseFinished = refuse;
}
void ScriptedAudioBackend::setDefaultInput(PaDeviceIndex device) {
    std::lock_guard lock(mutex);
    defaultInput = device;
}
void ScriptedAudioBackend::replaceDevicesAtNextInitialization(std::vector<Device> next) {
    std::lock_guard lock(mutex);
    nextDevices = std::move(next);
    replacePending = true;
}

bool ScriptedAudioBackend::hasStartedStream() const {
    std::lock_guard lock(mutex);
    return started;
}

double ScriptedAudioBackend::lastLatency() const {
    std::lock_guard lock(mutex);
    return latency;
}

std::vector<std::thread::id> ScriptedAudioBackend::callThreads() const {
    std::lock_guard lock(mutex);
    return threads;
}

int ScriptedAudioBackend::fire(std::uint32_t frames, PaStreamCallbackFlags status, bool nullInput, float value) {
    std::unique_lock lock(mutex);
    if (!started || callback == nullptr) return -1;
    PaStreamCallback* cb = callback;
    void* user = userData;
    buffer.assign(frames, value);
    lock.unlock();
    PaStreamCallbackTimeInfo time{};
    time.currentTime = 12.5;
    return cb(nullInput ? nullptr : buffer.data(), nullptr, frames, &time, status, user);
}

void ScriptedAudioBackend::finishStarted(std::unique_lock<std::mutex>& lock) {
    const bool wasStarted = std::exchange(started, false);
    PaStreamFinishedCallback* cb = finished;
    void* user = userData;
    lock.unlock();
    if (wasStarted && cb != nullptr) cb(user);
}

void ScriptedAudioBackend::finish() {
    std::unique_lock lock(mutex);
    finishStarted(lock);
}

PaError ScriptedAudioBackend::initialize() {
    std::lock_guard lock(mutex);
    record();
    initCalls.fetch_add(1);
    if (initFailures > 0) {
        --initFailures;
        return paUnanticipatedHostError;
    }
    if (nesting == 0 && replacePending) {
        devices = std::move(nextDevices);
        replacePending = false;
        rebuildRecords();
    }
    ++nesting;
    return paNoError;
}

PaError ScriptedAudioBackend::terminate() {
    std::lock_guard lock(mutex);
    record();
    termCalls.fetch_add(1);
    if (nesting == 0) return paNotInitialized;
    --nesting;
    return paNoError;
}

PaDeviceIndex ScriptedAudioBackend::getDeviceCount() {
    std::lock_guard lock(mutex);
    record();
    return initialized() ? static_cast<PaDeviceIndex>(deviceRecords.size()) : paNotInitialized;
}

const PaDeviceInfo* ScriptedAudioBackend::getDeviceInfo(PaDeviceIndex device) {
    std::lock_guard lock(mutex);
    record();
    if (!initialized() || device < 0 || device >= static_cast<PaDeviceIndex>(deviceRecords.size())) return nullptr;
    return &deviceRecords[static_cast<std::size_t>(device)];
}

const PaHostApiInfo* ScriptedAudioBackend::getHostApiInfo(PaHostApiIndex hostApi) {
    std::lock_guard lock(mutex);
    record();
    if (!initialized() || hostApi < 0 || hostApi >= static_cast<PaHostApiIndex>(hostApiRecords.size())) return nullptr;
    return &hostApiRecords[static_cast<std::size_t>(hostApi)];
}

PaDeviceIndex ScriptedAudioBackend::getDefaultInputDevice() {
    std::lock_guard lock(mutex);
    record();
    return initialized() ? defaultInput : paNoDevice;
}

PaDeviceIndex ScriptedAudioBackend::getDefaultOutputDevice() {
    std::lock_guard lock(mutex);
    record();
    return paNoDevice;
}

PaError ScriptedAudioBackend::isFormatSupported(const PaStreamParameters* input, const PaStreamParameters* output,
                                                double) {
    std::lock_guard lock(mutex);
    record();
    if (!initialized()) return paNotInitialized;
    const PaStreamParameters* p = input != nullptr ? input : output;
    if (p == nullptr || p->device < 0 || p->device >= static_cast<PaDeviceIndex>(devices.size())) return paInvalidDevice;
    const Device& d = devices[static_cast<std::size_t>(p->device)];
    const bool ok = input != nullptr ? d.inputFormatOk : d.outputFormatOk;
    return ok && p->channelCount == 1 && p->sampleFormat == paFloat32 ? paFormatIsSupported : paInvalidSampleRate;
}

PaError ScriptedAudioBackend::openStream(PaStream** stream, const PaStreamParameters* input,
                                         const PaStreamParameters*, double, unsigned long fpb, PaStreamFlags,
                                         PaStreamCallback* cb, void* user) {
    std::lock_guard lock(mutex);
    record();
    opens.fetch_add(1);
    framesPerBuffer.store(fpb);
    if (!initialized()) return paNotInitialized;
    if (openFailures > 0) {
        --openFailures;
        return paDeviceUnavailable;
    }
    if (input == nullptr || input->device < 0 || input->device >= static_cast<PaDeviceIndex>(devices.size())) {
        return paInvalidDevice;
    }
    latency = input->suggestedLatency;
    open = true;
    started = false;
    callback = cb;
    finished = nullptr;
    userData = user;
    *stream = &streamToken;
    return paNoError;
}

PaError ScriptedAudioBackend::setStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* cb) {
    std::lock_guard lock(mutex);
    record();
    if (stream != &streamToken || !open) return paBadStreamPtr;
    if (refuseFinished) return paInternalError;
    finished = cb;
    return paNoError;
}

PaError ScriptedAudioBackend::startStream(PaStream* stream) {
    std::lock_guard lock(mutex);
    record();
    if (stream != &streamToken || !open) return paBadStreamPtr;
    if (startFailures > 0) {
        --startFailures;
        return paDeviceUnavailable;
    }
    started = true;
    return paNoError;
}

PaError ScriptedAudioBackend::stopStream(PaStream* stream) {
    std::unique_lock lock(mutex);
    record();
    if (stream != &streamToken || !open) return paBadStreamPtr;
    finishStarted(lock);
    return paNoError;
}

PaError ScriptedAudioBackend::closeStream(PaStream* stream) {
    std::unique_lock lock(mutex);
    record();
    closes.fetch_add(1);
    if (stream != &streamToken || !open) return paBadStreamPtr;
    open = false;
    finishStarted(lock);
    return paNoError;
}
