#include "audio/soundcard/PortaudioWrapper.h"

#include "audio/soundcard/PortAudioBackend.h"
#include "audio/soundcard/PortaudioInitializer.h"
#include "logging/KestravaInstanceConfig.h"
#include "platform/ThreadSetup.h"

#include <utility>

namespace kestrava::audio::soundcard {

void PortaudioWrapper::CallBlock::clear() {
    command = None;
    index.store(0);
    streamOut = nullptr;
    inputParameters = nullptr;
    outputParameters = nullptr;
    sampleRate = 0.0;
    framesPerBuffer = 0;
    streamFlags = 0;
    streamCallback = nullptr;
    finishedCallback = nullptr;
    stream = nullptr;
    pointerResult = nullptr;
    intResult = 0;
}

PortaudioWrapper& PortaudioWrapper::instance() {
    static PortaudioWrapper wrapper(std::make_unique<PortAudioBackend>());
    return wrapper;
}

PortaudioWrapper::PortaudioWrapper(std::unique_ptr<AudioBackend> backend_) : backend(std::move(backend_)) {}

PortaudioWrapper::~PortaudioWrapper() {
    running.store(false);
    requestSemaphore.close();
    responseSemaphore.close();
    if (thread && thread->joinable()) thread->join();
    PortAudioBackend::setAlsaLogger(nullptr);
}

bool PortaudioWrapper::replaceBackend(std::unique_ptr<AudioBackend> replacement) {
    if (running.load() || thread) return false;
    backend = std::move(replacement);
    return true;
}

void PortaudioWrapper::start(KestravaInstanceConfig* newConfig) {
    config.store(newConfig);
    PortAudioBackend::setAlsaLogger(newConfig != nullptr ? &newConfig->logger : nullptr);
    if (running.load() || thread) {
        if (newConfig != nullptr) {
            newConfig->logger.log(1, KestravaLogger::Critical, "Starting portaudiowrapper, but already started!");
        }
        return;
    }
    running.store(true);
    kestrava::ThreadOptions options;
    options.name = "AudioLibrary";
    if (newConfig != nullptr) {
        options.priority = newConfig->engine.threadPriority.load();
        options.affinityMask = newConfig->affinityMask;
    }
    thread = std::make_unique<std::thread>(kestrava::startThread(std::move(options), [this] { run(); }));
}

void PortaudioWrapper::stopReporting() {
    config.store(nullptr);
    PortAudioBackend::setAlsaLogger(nullptr);
}

std::thread::id PortaudioWrapper::threadId() const { return thread ? thread->get_id() : std::thread::id(); }

const char* PortaudioWrapper::errorText(PaError code) const { return backend->errorText(code); }

void PortaudioWrapper::run() {
    // The configuration may be absent (tools, tests): failures are then not reported, but the
    // thread serves calls all the same, so no caller waits for ever.
    auto initializer = std::make_unique<PortaudioInitializer>(*backend, config);
    while (running.load()) {
        requestSemaphore.acquire(1);
        if (!running.load()) break;
        execute(initializer);
        block.command = None;
        responseSemaphore.release(1);
    }
    block.clear();
    responseSemaphore.close();
    initializer.reset();
}

void PortaudioWrapper::execute(std::unique_ptr<PortaudioInitializer>& initializer) {
    CallBlock& b = block;
    switch (b.command) {
    case GetDeviceInfo: b.pointerResult = backend->getDeviceInfo(b.index.load()); break;
    case GetDeviceCount: b.intResult = backend->getDeviceCount(); break;
    case GetHostApiInfo: b.pointerResult = backend->getHostApiInfo(b.index.load()); break;
    case OpenStream:
        b.intResult = backend->openStream(b.streamOut, b.inputParameters, b.outputParameters, b.sampleRate,
                                          b.framesPerBuffer, b.streamFlags, b.streamCallback, b.stream);
        if (b.intResult == paNoError) ++openStreams;
        break;
    case SetStreamFinishedCallback: b.intResult = backend->setStreamFinishedCallback(b.stream, b.finishedCallback); break;
    case StartStream: b.intResult = backend->startStream(b.stream); break;
    case CloseStream:
        b.intResult = backend->closeStream(b.stream);
        // The caller forgets the stream whatever the result, so it no longer counts as open.
        if (openStreams > 0) --openStreams;
        break;
    case StopStream: b.intResult = backend->stopStream(b.stream); break;
    case GetDefaultInputDevice: b.intResult = backend->getDefaultInputDevice(); break;
    case GetDefaultOutputDevice: b.intResult = backend->getDefaultOutputDevice(); break;
    case IsFormatSupported: b.intResult = backend->isFormatSupported(b.inputParameters, b.outputParameters, b.sampleRate); break;
    case Reinitialize:
        if (openStreams == 0) {
            initializer.reset();  // a real termination first, so the library looks at the devices afresh
            initializer = std::make_unique<PortaudioInitializer>(*backend, config);
        } else {
            auto next = std::make_unique<PortaudioInitializer>(*backend, config);
            std::swap(initializer, next);
        }
        break;
    default: b.clear(); break;
    }
}

void PortaudioWrapper::handOver() {
    requestSemaphore.release(1);
    responseSemaphore.acquire(1);
}

const PaDeviceInfo* PortaudioWrapper::getDeviceInfo(PaDeviceIndex device) {
    std::lock_guard lock(callMutex);
    block.command = GetDeviceInfo;
    block.index.store(device);
    handOver();
    return static_cast<const PaDeviceInfo*>(block.pointerResult);
}

PaDeviceIndex PortaudioWrapper::getDeviceCount() {
    std::lock_guard lock(callMutex);
    block.command = GetDeviceCount;
    handOver();
    return block.intResult;
}

const PaHostApiInfo* PortaudioWrapper::getHostApiInfo(PaHostApiIndex hostApi) {
    std::lock_guard lock(callMutex);
    block.command = GetHostApiInfo;
    block.index.store(hostApi);
    handOver();
    return static_cast<const PaHostApiInfo*>(block.pointerResult);
}

PaError PortaudioWrapper::openStream(PaStream** stream, const PaStreamParameters* input,
                                     const PaStreamParameters* output, double sampleRate,
                                     std::uint32_t framesPerBuffer, PaStreamFlags flags, PaStreamCallback* callback,
                                     void* userData) {
    std::lock_guard lock(callMutex);
    block.command = OpenStream;
    block.streamOut = stream;
    block.inputParameters = input;
    block.outputParameters = output;
    block.sampleRate = sampleRate;
    block.framesPerBuffer = framesPerBuffer;
    block.streamFlags = flags;
    block.streamCallback = callback;
    block.stream = userData;
    handOver();
    return block.intResult;
}

PaError PortaudioWrapper::setStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* callback) {
    std::lock_guard lock(callMutex);
    block.command = SetStreamFinishedCallback;
    block.stream = stream;
    block.finishedCallback = callback;
    handOver();
    return block.intResult;
}

PaError PortaudioWrapper::streamCommand(int command, PaStream* stream) {
    std::lock_guard lock(callMutex);
    block.command = command;
    block.stream = stream;
    handOver();
    return block.intResult;
}

PaError PortaudioWrapper::startStream(PaStream* stream) { return streamCommand(StartStream, stream); }

PaError PortaudioWrapper::stopStream(PaStream* stream) { return streamCommand(StopStream, stream); }

PaError PortaudioWrapper::closeStream(PaStream* stream) { return streamCommand(CloseStream, stream); }

PaDeviceIndex PortaudioWrapper::getDefaultInputDevice() {
    std::lock_guard lock(callMutex);
    block.command = GetDefaultInputDevice;
    handOver();
    return block.intResult;
}

PaDeviceIndex PortaudioWrapper::getDefaultOutputDevice() {
    std::lock_guard lock(callMutex);
    block.command = GetDefaultOutputDevice;
    handOver();
    return block.intResult;
}

PaError PortaudioWrapper::isFormatSupported(const PaStreamParameters* input, const PaStreamParameters* output,
                                            double sampleRate) {
    std::lock_guard lock(callMutex);
    block.command = IsFormatSupported;
    block.inputParameters = input;
    block.outputParameters = output;
    block.sampleRate = sampleRate;
    handOver();
    return block.intResult;
}

void PortaudioWrapper::reinitialize() {
    std::lock_guard lock(callMutex);
    block.command = Reinitialize;
    handOver();
}

}  // namespace kestrava::audio::soundcard
