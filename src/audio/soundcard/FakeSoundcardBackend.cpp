#include "audio/soundcard/FakeSoundcardBackend.h"

#include "logging/KestravaInstanceConfig.h"

#include <algorithm>

namespace kestrava::audio::soundcard {

struct FakeSoundcardBackend::OpenStream {
    FakeSoundcardStream stream;
    PaStreamFinishedCallback* finished = nullptr;
    void* userData = nullptr;
};

FakeSoundcardBackend::FakeSoundcardBackend(KestravaInstanceConfig* config_, CompositeSignal signal_,
                                           PacingClock& clock_)
    : config(config_), signal(std::move(signal_)), clock(clock_) {
    device.structVersion = 2;
    device.name = deviceName;
    device.hostApi = 0;
    device.maxInputChannels = 1;
    device.maxOutputChannels = 0;
    device.defaultLowInputLatency = 0.0;
    device.defaultHighInputLatency = 0.0;
    device.defaultSampleRate = config != nullptr ? config->sampleRate : 192000.0;
    hostApi.structVersion = 1;
    hostApi.type = paInDevelopment;
    hostApi.name = hostApiName;
    hostApi.deviceCount = 1;
    hostApi.defaultInputDevice = 0;
    hostApi.defaultOutputDevice = paNoDevice;
}

FakeSoundcardBackend::~FakeSoundcardBackend() = default;

const PaDeviceInfo* FakeSoundcardBackend::getDeviceInfo(PaDeviceIndex index) {
    return index == 0 ? &device : nullptr;
}

const PaHostApiInfo* FakeSoundcardBackend::getHostApiInfo(PaHostApiIndex index) {
    return index == 0 ? &hostApi : nullptr;
}

PaError FakeSoundcardBackend::isFormatSupported(const PaStreamParameters* input, const PaStreamParameters* output,
                                                double sampleRate) {
    if (output != nullptr) return paInvalidChannelCount;
    if (input == nullptr || input->device != 0) return paInvalidDevice;
    if (input->channelCount != 1) return paInvalidChannelCount;
    if (input->sampleFormat != paFloat32) return paSampleFormatNotSupported;
    return sampleRate > 0.0 ? paNoError : paInvalidSampleRate;
}

PaError FakeSoundcardBackend::openStream(PaStream** stream, const PaStreamParameters* input,
                                         const PaStreamParameters* output, double sampleRate, unsigned long,
                                         PaStreamFlags, PaStreamCallback* callback, void* userData) {
    const PaError supported = isFormatSupported(input, output, sampleRate);
    if (supported != paNoError) return supported;
    auto open = std::unique_ptr<OpenStream>(new OpenStream{
        FakeSoundcardStream(config != nullptr ? &config->logger : nullptr, sampleRate, callback, userData, signal, clock),
        nullptr, userData});
    *stream = open.get();
    streams.push_back(std::move(open));
    return paNoError;
}

FakeSoundcardBackend::OpenStream* FakeSoundcardBackend::find(PaStream* stream) {
    for (auto& open : streams) {
        if (open.get() == stream) return open.get();
    }
    return nullptr;
}

PaError FakeSoundcardBackend::setStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* callback) {
    OpenStream* open = find(stream);
    if (open == nullptr) return paBadStreamPtr;
    open->finished = callback;
    open->stream.setFinishedCallback(callback);
    return paNoError;
}

PaError FakeSoundcardBackend::startStream(PaStream* stream) {
    OpenStream* open = find(stream);
    if (open == nullptr) return paBadStreamPtr;
    open->stream.start();
    return paNoError;
}

PaError FakeSoundcardBackend::stopStream(PaStream* stream) {
    OpenStream* open = find(stream);
    if (open == nullptr) return paBadStreamPtr;
    if (open->stream.stop() && open->finished != nullptr) open->finished(open->userData);
    return paNoError;
}

PaError FakeSoundcardBackend::closeStream(PaStream* stream) {
    OpenStream* open = find(stream);
    if (open == nullptr) return paBadStreamPtr;
    // Closing an active stream aborts it first, with the finished report.
    if (open->stream.stop() && open->finished != nullptr) open->finished(open->userData);
    streams.erase(std::remove_if(streams.begin(), streams.end(), [open](const auto& s) { return s.get() == open; }),
                  streams.end());
    return paNoError;
}

}  // namespace kestrava::audio::soundcard
