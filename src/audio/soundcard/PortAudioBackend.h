#pragma once

#include "audio/soundcard/AudioBackend.h"

namespace KestravaLogger {
class Logger;
}

namespace kestrava::audio::soundcard {

// The real audio library. On ALSA builds the library's own error printing is routed to the log
// given by setAlsaLogger instead of standard error.
class PortAudioBackend final : public AudioBackend {
public:
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
    const char* errorText(PaError code) const override;

    // The log that takes ALSA's messages; null sends them nowhere. Any thread.
    static void setAlsaLogger(KestravaLogger::Logger* logger);
};

}  // namespace kestrava::audio::soundcard
