#include "app/AudioLibrary.h"

#include <portaudio.h>

namespace AudioLibrary {

namespace {
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
