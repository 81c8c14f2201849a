#include "audio/soundcard/PortAudioBackend.h"

#include "logging/Logger.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#ifdef KESTRAVA_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace kestrava::audio::soundcard {

namespace {

std::atomic<KestravaLogger::Logger*> alsaLogger{nullptr};

#ifdef KESTRAVA_HAVE_ALSA
// ALSA prints its complaints (unknown cards while the library probes, for instance) on standard
// error; an unattended program keeps them in its log instead, at trace level: every scan of the
// devices brings a hundred of them on a machine without a card, and they matter only as the
// history in front of a warning.
void alsaErrorHandler(const char* file, int line, const char* function, int err, const char* format, ...) {
    KestravaLogger::Logger* logger = alsaLogger.load();
    if (logger == nullptr) return;
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (err != 0) {
        logger->log(1, KestravaLogger::Trace, "ALSA lib {}:{}:({}) {}: {}", file, line, function, text, snd_strerror(err));
    } else {
        logger->log(1, KestravaLogger::Trace, "ALSA lib {}:{}:({}) {}", file, line, function, text);
    }
}
#endif

}  // namespace

void PortAudioBackend::setAlsaLogger(KestravaLogger::Logger* logger) { alsaLogger.store(logger); }

PaError PortAudioBackend::initialize() {
#ifdef KESTRAVA_HAVE_ALSA
    snd_lib_error_set_handler(alsaErrorHandler);
#endif
    return Pa_Initialize();
}

PaError PortAudioBackend::terminate() { return Pa_Terminate(); }
PaDeviceIndex PortAudioBackend::getDeviceCount() { return Pa_GetDeviceCount(); }
const PaDeviceInfo* PortAudioBackend::getDeviceInfo(PaDeviceIndex device) { return Pa_GetDeviceInfo(device); }
const PaHostApiInfo* PortAudioBackend::getHostApiInfo(PaHostApiIndex hostApi) { return Pa_GetHostApiInfo(hostApi); }
PaDeviceIndex PortAudioBackend::getDefaultInputDevice() { return Pa_GetDefaultInputDevice(); }
PaDeviceIndex PortAudioBackend::getDefaultOutputDevice() { return Pa_GetDefaultOutputDevice(); }

PaError PortAudioBackend::isFormatSupported(const PaStreamParameters* input, const PaStreamParameters* output,
                                            double sampleRate) {
    return Pa_IsFormatSupported(input, output, sampleRate);
}

PaError PortAudioBackend::openStream(PaStream** stream, const PaStreamParameters* input,
                                     const PaStreamParameters* output, double sampleRate,
                                     unsigned long framesPerBuffer, PaStreamFlags flags, PaStreamCallback* callback,
                                     void* userData) {
    return Pa_OpenStream(stream, input, output, sampleRate, framesPerBuffer, flags, callback, userData);
}

PaError PortAudioBackend::setStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* callback) {
    return Pa_SetStreamFinishedCallback(stream, callback);
}

PaError PortAudioBackend::startStream(PaStream* stream) { return Pa_StartStream(stream); }
PaError PortAudioBackend::stopStream(PaStream* stream) { return Pa_StopStream(stream); }
PaError PortAudioBackend::closeStream(PaStream* stream) { return Pa_CloseStream(stream); }
const char* PortAudioBackend::errorText(PaError code) const { return Pa_GetErrorText(code); }

}  // namespace kestrava::audio::soundcard
