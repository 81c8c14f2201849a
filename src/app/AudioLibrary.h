#pragma once

#include <cstdint>

// The few audio-library calls the shell makes before the audio-library wrapper takes them over.
namespace AudioLibrary {

// The library's own version text; available before the library is initialised.
const char* versionText();

// The system's default input device when it can capture one float channel at the sample rate,
// else the first device that can, else -1. Initialises the library for the query and ends it.
std::int32_t findDefaultInputDevice(double sampleRate);

}  // namespace AudioLibrary
