#include "app/AudioLibrary.h"

#include <portaudio.h>

#if defined(KESTRAVA_HAVE_ALSA)
#include <alsa/asoundlib.h>
#endif

namespace AudioLibrary {

namespace {

#if defined(KESTRAVA_HAVE_ALSA)
// The device scan probes every configured card; on a machine without one each probe would print
// a line on standard error. The result of the scan says all that matters.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
#endif

bool canCapture(PaDeviceIndex device, double sampleRate) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr || info->maxInputChannels < 1) return false;
    PaStreamParameters input{};
    input.device = device;
    input.channelCount = 1;
    input.sampleFormat = paFloat32;
    input.suggestedLatency = info->defaultLowInputLatency;
    return Pa_IsFormatSupported(&input, nullptr, sampleRate) == paFormatIsSupported;
}
}  // namespace

const char* versionText() { return Pa_GetVersionText(); }

std::int32_t findDefaultInputDevice(double sampleRate) {
#if defined(KESTRAVA_HAVE_ALSA)
    snd_lib_error_set_handler(quietAlsa);
#endif
    if (Pa_Initialize() != paNoError) return -1;
    std::int32_t found = -1;
    const PaDeviceIndex preferred = Pa_GetDefaultInputDevice();
    if (preferred != paNoDevice && canCapture(preferred, sampleRate)) {
        found = preferred;
    } else {
        const PaDeviceIndex count = Pa_GetDeviceCount();
        for (PaDeviceIndex d = 0; d < count && found < 0; ++d) {
            if (canCapture(d, sampleRate)) found = d;
        }
    }
    Pa_Terminate();
    return found;
}

}  // namespace AudioLibrary
