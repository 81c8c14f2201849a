#pragma once

#include <portaudio.h>

namespace kestrava::audio::soundcard {

// One side of a stream to open, as prepared from the device's records: the stream parameters,
// the records they came from and whether the device was found.
struct DeviceSetup {
    PaStreamParameters parameters{};
    const PaHostApiInfo* hostApi = nullptr;
    const PaDeviceInfo* device = nullptr;
    bool valid = false;
};

}  // namespace kestrava::audio::soundcard
