#pragma once

#include "audio/soundcard/AudioBackend.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An audio library played by a script: devices and host APIs, initialisations and opens that
// fail a given number of times, start and finished-callback failures, a device set that changes
// at the next initialisation. The test delivers callbacks itself (fire), or ends the stream
// (finish), on its own thread. Every call records the thread it arrived on.
class ScriptedAudioBackend final : public kestrava::audio::soundcard::AudioBackend {
public:
    struct Device {
        std::string name;
        PaHostApiIndex hostApi = 0;
        int maxInputChannels = 1;
        int maxOutputChannels = 0;
        bool inputFormatOk = true;   // one float32 channel at the probe rate, as input
        bool outputFormatOk = false;
    };
    struct HostApi {
        std::string name;
        PaHostApiTypeId type = paALSA;
    };

    ScriptedAudioBackend(std::vector<HostApi> hostApis, std::vector<Device> devices);

    // Script.
    void failInitializations(int n);
    void failOpens(int n);
    void failStarts(int n);
    void refuseFinishedCallback(bool refuse);
    void setDefaultInput(PaDeviceIndex device);
    // The library sees the new set at its next real initialisation.
    void replaceDevicesAtNextInitialization(std::vector<Device> devices);

    // The test's side of an open stream.
    bool hasStartedStream() const;
    // Calls the stream callback with `frames` frames (null input when asked); its result.
    int fire(std::uint32_t frames, PaStreamCallbackFlags status = 0, bool nullInput = false, float value = 0.0f);
    // The library reports the stream finished (on the calling thread).
    void finish();

    // Observations.
    int initializeCalls() const { return initCalls.load(); }
    int terminateCalls() const { return termCalls.load(); }
    int openCalls() const { return opens.load(); }
    int closeCalls() const { return closes.load(); }
    unsigned long lastFramesPerBuffer() const { return framesPerBuffer.load(); }
    double lastLatency() const;
    std::vector<std::thread::id> callThreads() const;

    PaError initialize() override;
    PaError terminate() override;
    PaDeviceIndex getDeviceCount() override;
    const PaDeviceInfo* getDeviceInfo(PaDeviceIndex device) override;
    const PaHostApiInfo* getHostApiInfo(PaHostApiIndex hostApi) override;
    PaDeviceIndex getDefaultInputDevice() override;
    PaDeviceIndex getDefaultOutputDevice() override;
    PaError isFormatSupported(const PaStreamParameters* input, const PaStreamParameters* output,
                              double sampleRate) override;
    PaError openStream(PaStream** stream, const PaStreamParameters* input, const PaStreamParameters* output,
                       double sampleRate, unsigned long framesPerBuffer, PaStreamFlags flags,
                       PaStreamCallback* callback, void* userData) override;
    PaError setStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* callback) override;
    PaError startStream(PaStream* stream) override;
    PaError stopStream(PaStream* stream) override;
    PaError closeStream(PaStream* stream) override;
    const char* errorText(PaError code) const override { return Pa_GetErrorText(code); }

private:
    void record();
    void rebuildRecords();
    bool initialized() const { return nesting > 0; }
    // Reports "finished" for a started stream, outside the lock.
    void finishStarted(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex;
    std::vector<HostApi> hostApis;
    std::vector<Device> devices;
    std::vector<Device> nextDevices;
    bool replacePending = false;
    std::vector<PaHostApiInfo> hostApiRecords;
    std::vector<PaDeviceInfo> deviceRecords;
    int nesting = 0;
    int initFailures = 0;
    int openFailures = 0;
    int startFailures = 0;
    bool refuseFinished = false;
    PaDeviceIndex defaultInput = 0;
    std::vector<std::thread::id> threads;
    std::atomic<int> initCalls{0};
    std::atomic<int> termCalls{0};
    std::atomic<int> opens{0};
    std::atomic<int> closes{0};
    std::atomic<unsigned long> framesPerBuffer{0};
    double latency = 0.0;

    // The one stream this script serves.
    int streamToken = 0;
    bool open = false;
    bool started = false;
    PaStreamCallback* callback = nullptr;
    PaStreamFinishedCallback* finished = nullptr;
    void* userData = nullptr;
    std::vector<float> buffer;
};
