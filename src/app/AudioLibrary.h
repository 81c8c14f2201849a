#pragma once

// The one audio-library call the shell makes itself, before the audio-library wrapper runs.
namespace AudioLibrary {

// The library's own version text; available before the library is initialised.
const char* versionText();

}  // namespace AudioLibrary
