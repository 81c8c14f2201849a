#pragma once

#include <portaudio.h>

namespace kestrava::audio::soundcard {

// The audio library as the wrapper thread sees it: one operation per command of the wrapper,
// plus initialisation and termination. PortAudio is one implementation; a scripted fake and the
// fake sound card are others, so that the stream worker, the watchdog and the callback code run
// unchanged over each. Every operation but errorText is called on the wrapper thread only.
class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    virtual PaError initialize() = 0;
    virtual PaError terminate() = 0;
    virtual PaDeviceIndex getDeviceCount() = 0;
    virtual const PaDeviceInfo* getDeviceInfo(PaDeviceIndex device) = 0;
    virtual const PaHostApiInfo* getHostApiInfo(PaHostApiIndex hostApi) = 0;
    virtual PaDeviceIndex getDefaultInputDevice() = 0;
    virtual PaDeviceIndex getDefaultOutputDevice() = 0;
    virtual PaError isFormatSupported(const PaStreamParameters* input, const PaStreamParameters* output,
                                      double sampleRate) = 0;
    virtual PaError openStream(PaStream** stream, const PaStreamParameters* input, const PaStreamParameters* output,
                               double sampleRate, unsigned long framesPerBuffer, PaStreamFlags flags,
                               PaStreamCallback* callback, void* userData) = 0;
    virtual PaError setStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* callback) = 0;
    virtual PaError startStream(PaStream* stream) = 0;
    virtual PaError stopStream(PaStream* stream) = 0;
    virtual PaError closeStream(PaStream* stream) = 0;

    // The text of an error code; any thread.
    virtual const char* errorText(PaError code) const = 0;
};

}  // namespace kestrava::audio::soundcard
