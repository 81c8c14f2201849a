#pragma once

#include "audio/CountingSemaphore.h"
#include "audio/soundcard/AudioBackend.h"
#include "audio/soundcard/SoundcardEntry.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class KestravaInstanceConfig;

namespace kestrava::audio::soundcard {

class PortaudioInitializer;

// Every audio-library call that touches the library's state runs on the wrapper's own thread.
// A caller takes the call mutex, writes a numbered command and its arguments into the call block,
// releases the request semaphore and waits on the response semaphore; the two hand-overs order
// the block's plain fields (no lock of its own). Lock order: callMutex, then one semaphore.
// No call may be made on the wrapper thread itself (a library callback during stop or close):
// the caller would wait for itself.
class PortaudioWrapper {
public:
    enum Command : std::int32_t {
        None = 0,
        GetDeviceInfo = 1,
        GetDeviceCount = 2,
        GetHostApiInfo = 3,
        OpenStream = 4,
        SetStreamFinishedCallback = 5,
        StartStream = 6,
        CloseStream = 7,
        StopStream = 8,
        GetDefaultInputDevice = 9,
        GetDefaultOutputDevice = 10,
        IsFormatSupported = 11,
        Reinitialize = 12,
    };

    // The process's wrapper over the real library, built at first use (on the main thread, before
    // other threads can reach it) and stopped at process exit.
    static PortaudioWrapper& instance();

    explicit PortaudioWrapper(std::unique_ptr<AudioBackend> backend);
    virtual ~PortaudioWrapper();
    PortaudioWrapper(const PortaudioWrapper&) = delete;
    PortaudioWrapper& operator=(const PortaudioWrapper&) = delete;

    // Puts another backend (the fake sound card) in place of the current one; only before start().
    bool replaceBackend(std::unique_ptr<AudioBackend> backend);

    // Stores the configuration (always) and starts the wrapper thread once, at the configuration's
    // sound-card thread priority and affinity. A second start logs a critical message.
    void start(KestravaInstanceConfig* config);
    // From now on nothing is reported through the configuration (it is about to go away).
    void stopReporting();

    const PaDeviceInfo* getDeviceInfo(PaDeviceIndex device);
    PaDeviceIndex getDeviceCount();
    const PaHostApiInfo* getHostApiInfo(PaHostApiIndex hostApi);
    PaError openStream(PaStream** stream, const PaStreamParameters* input, const PaStreamParameters* output,
                       double sampleRate, std::uint32_t framesPerBuffer, PaStreamFlags flags,
                       PaStreamCallback* callback, void* userData);
    PaError setStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* callback);
    PaError startStream(PaStream* stream);
    PaError stopStream(PaStream* stream);
    PaError closeStream(PaStream* stream);
    PaDeviceIndex getDefaultInputDevice();
    PaDeviceIndex getDefaultOutputDevice();
    PaError isFormatSupported(const PaStreamParameters* input, const PaStreamParameters* output, double sampleRate);
    // With no stream open the library is terminated and initialised afresh, so a changed device
    // set is seen (device indexes and cached records from before are void afterwards). With a
    // stream open only the nested count goes up and down: terminating would close that stream.
    void reinitialize();

    // The text of an error code, called directly on the calling thread.
    const char* errorText(PaError code) const;
    // The wrapper thread's id (for checks that every call arrives there).
    std::thread::id threadId() const;

    // Device list and selection; each query is a sequence of wrapper calls on the caller's
    // thread, probing one 32-bit float channel at the context's sample rate.
    std::vector<SoundcardEntry> listDevices(KestravaInstanceConfig& context, std::int32_t direction);
    bool checkDevice(KestravaInstanceConfig& context, std::int32_t direction, PaDeviceIndex device,
                     const PaDeviceInfo* info = nullptr, const PaHostApiInfo* hostApi = nullptr);
    PaDeviceIndex findDefaultInputDevice(KestravaInstanceConfig& context);
    PaDeviceIndex findDeviceByName();
    // The first device whose key ("{} ({})": name, host API name) equals `key`; -1 when none.
    PaDeviceIndex findDeviceByKey(const std::string& key);
    static std::string deviceKey(const PaDeviceInfo& info, const PaHostApiInfo& hostApi);

private:
    struct CallBlock {
        std::int32_t command = None;
        std::atomic<std::int32_t> index{0};
        PaStream** streamOut = nullptr;
        const PaStreamParameters* inputParameters = nullptr;
        const PaStreamParameters* outputParameters = nullptr;
        double sampleRate = 0.0;
        std::uint32_t framesPerBuffer = 0;
        PaStreamFlags streamFlags = 0;
        PaStreamCallback* streamCallback = nullptr;
        PaStreamFinishedCallback* finishedCallback = nullptr;
        void* stream = nullptr;
        const void* pointerResult = nullptr;
        std::int32_t intResult = 0;

        void clear();
    };

    void run();
    void execute(std::unique_ptr<PortaudioInitializer>& initializer);
    // Steps 2 to 4 of a call, with callMutex held: the command is in the block, hand it over.
    void handOver();
    // The call protocol of the commands that take one stream and answer with an error code.
    PaError streamCommand(int command, PaStream* stream);
    bool probe(const PaStreamParameters* input, const PaStreamParameters* output, double rate);

    std::atomic<bool> running{false};
    kestrava::audio::CountingSemaphore requestSemaphore;
    kestrava::audio::CountingSemaphore responseSemaphore;
    std::unique_ptr<std::thread> thread;
    std::mutex callMutex;
    CallBlock block;
    std::atomic<KestravaInstanceConfig*> config{nullptr};
    std::unique_ptr<AudioBackend> backend;
    int openStreams = 0;  // wrapper thread only
};

}  // namespace kestrava::audio::soundcard
